#include "ConfigDialog.h"

#include "KeyCaptureEdit.h"
#include "KeyCodes.h"
#include "MessageBox.h"

#include <QMetaObject>
#include <QTimerEvent>

#include <map>
#include <utility>

ConfigDialog::ConfigDialog(const ConfigFamily& familyTable, QWidget* parent)
    : SkinDialog(familyTable.templateId, parent), family(familyTable), okButton(this),
      cancelButton(this), resetButton(this), loadButton(this),
      sink(
          // The library may report from a thread of its own; the handler runs
          // on ours, and not at all once the dialog is gone.
          [this](std::function<void()> call) {
              QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
          },
          [this](unsigned int eventType, AtUsbHidDeviceEvent* event) {
              OnDeviceChange(eventType, event);
          })
{
    for (int slot = 0; slot < family.tableSize; ++slot) {
        keyFields.push_back(std::make_unique<KeyCaptureEdit>(this));
        connect(keyFields.back().get(), &KeyCaptureEdit::DesktopKeepsShortcuts, this,
                [this] { ShowMessage(Message::DesktopKeepsShortcuts); });
    }

    connect(&okButton, &QAbstractButton::clicked, this, &ConfigDialog::OnOK);
    connect(&cancelButton, &QAbstractButton::clicked, this, &ConfigDialog::OnCancel);
    connect(&resetButton, &QAbstractButton::clicked, this, &ConfigDialog::OnReset);
    connect(&loadButton, &QAbstractButton::clicked, this, &ConfigDialog::OnLoad);
}

ConfigDialog::~ConfigDialog()
{
    OnDestroy();
    link.Release();
}

void ConfigDialog::SetModelName(const QString& model)
{
    modelName = model;
}

void ConfigDialog::SetLanguage(const QString& text)
{
    language = text;
}

void ConfigDialog::SetDeviceIds(int vendor, int product)
{
    vendorId = vendor;
    productId = product;
}

KeyCaptureEdit* ConfigDialog::KeyField(int slot) const
{
    if (slot < 1 || slot > static_cast<int>(keyFields.size()))
        return nullptr;
    return keyFields[slot - 1].get();
}

bool ConfigDialog::OnInitDialog()
{
    SkinDialog::OnInitDialog();

    std::map<int, QWidget*> controls{{family.okId, &okButton},
                                     {family.cancelId, &cancelButton},
                                     {family.resetId, &resetButton},
                                     {family.loadId, &loadButton}};
    for (int slot = 0; slot < family.tableSize; ++slot)
        controls[family.fieldIds[slot]] = keyFields[slot].get();
    ApplyTemplate(controls);

    if (const int background = family.BackgroundFor(modelName.toStdString()))
        LoadBackground(background);

    okButton.LoadBitmaps(136, 135, 136);
    cancelButton.LoadBitmaps(178, 177, 178);
    resetButton.LoadBitmaps(146, 145, 146);
    loadButton.LoadBitmaps(148, 147, 148);
    okButton.SizeToContent();
    cancelButton.SizeToContent();
    resetButton.SizeToContent();
    loadButton.SizeToContent();

    link.Open(static_cast<unsigned int>(vendorId), static_cast<unsigned int>(productId),
              sink.Window());
    if (!link.IsConnected()) {
        ShowNotConnected();
        // Ends as a plain OK: nothing is written.
        EndDialog(Accepted);
        return true;
    }

    for (auto& field : keyFields)
        field->SetKey(0, 0);
    OnLoad();
    return true;
}

void ConfigDialog::OnLoad()
{
    // Its read request would restart the answers the read-back is taking.
    if (verify.IsPending())
        return;
    if (!link.IsConnected()) {
        ShowNotConnected();
        return;
    }
    table.BeginLoad(family.tableSize);
    // Answers left over from an earlier exchange (a read-back that came too
    // late, a load cut short) would be shown as this load's.
    link.DiscardWaitingAnswers();
    link.Write(ReceiverReport::ReadRequest());
    timer1.start(kPollIntervalMs, Qt::PreciseTimer, this);
}

void ConfigDialog::OnTimer()
{
    if (verify.IsPending()) {
        const VerifiedWrite::Result result = verify.Step(link, VerifiedWrite::Clock::now());
        if (result != VerifiedWrite::Result::Pending) {
            StopTimer();
            FinishOK(result);
        }
        return;
    }
    switch (table.Tick(link)) {
    case KeyTableStore::TickResult::NoAnswer:
        return;
    case KeyTableStore::TickResult::Disconnected:
        // The receiver went away during the load: the fields keep what the
        // receiver did send rather than pretend it sent the factory table.
        StopTimer();
        return;
    case KeyTableStore::TickResult::Stored:
        ShowKeys();
        return;
    case KeyTableStore::TickResult::Complete:
        StopTimer();
        ShowKeys();
        return;
    }
}

void ConfigDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timer1.timerId()) {
        OnTimer();
        return;
    }
    SkinDialog::timerEvent(event);
}

void ConfigDialog::ShowKeys()
{
    if (family.ShowsFactoryTable(table.receivedSize)) {
        for (int i = 0; i < family.tableSize; ++i) {
            table.modifiers[i] = family.factoryModifiers[i];
            table.keyCodes[i] = family.factoryKeyCodes[i];
        }
    }
    for (int i = 0; i < family.tableSize; ++i) {
        keyFields[i]->SetKey(0, 0);
        keyFields[i]->SetKey(table.modifiers[i], KeyCodeToVirtualKey(table.keyCodes[i]));
    }
}

void ConfigDialog::OnReset()
{
    if (verify.IsPending())
        return;
    if (!link.IsConnected()) {
        ShowNotConnected();
        return;
    }
    // Without a box (a language other than English and Korean) the question
    // counts as answered No.
    if (ShowMessage(Message::ResetQuestion) != AppMessageBox::IdYes)
        return;
    link.Write(ReceiverReport::FactoryResetRequest());
    OnLoad();
}

void ConfigDialog::OnOK()
{
    // One OK, one commit: a second click waits for the first one's answer.
    if (verify.IsPending())
        return;
    if (!link.IsConnected()) {
        ShowNotConnected();
        return;
    }
    // The read-back takes the answers from here on; a load still running
    // would take them for its own.
    StopTimer();
    const VerifiedWrite::Result result =
        verify.Start(link, FieldsTable(), VerifiedWrite::Clock::now());
    if (result == VerifiedWrite::Result::Pending) {
        timer1.start(kPollIntervalMs, Qt::PreciseTimer, this);
        return;
    }
    FinishOK(result);
}

KeyTableWrite ConfigDialog::FieldsTable() const
{
    KeyTableWrite keys;
    keys.tableSize = family.tableSize;
    keys.factoryKeyCodes = family.factoryKeyCodes;
    for (int i = 0; i < family.tableSize; ++i) {
        std::uint8_t modifiers = 0;
        std::uint16_t virtualKey = 0;
        keyFields[i]->GetKey(modifiers, virtualKey);
        keys.modifiers[i] = modifiers;
        keys.keyCodes[i] = VirtualKeyToKeyCode(virtualKey);
    }
    return keys;
}

void ConfigDialog::FinishOK(VerifiedWrite::Result result)
{
    using Result = VerifiedWrite::Result;
    switch (result) {
    case Result::Verified:
    case Result::CommittedOnly:
        ShowMessage(Message::Completed);
        return;
    case Result::NotKept:
        // The fields show what the receiver answered, as it answered it: the
        // factory table a load would put in for another family's size is not
        // what this receiver holds.
        table = verify.ReadBack();
        for (int i = 0; i < family.tableSize; ++i) {
            keyFields[i]->SetKey(0, 0);
            keyFields[i]->SetKey(table.modifiers[i], KeyCodeToVirtualKey(table.keyCodes[i]));
        }
        ShowMessage(Message::NotKept);
        return;
    case Result::NoAnswer:
        // Nothing is known of what the receiver holds, and part of a table is
        // no table: the fields keep the keys the user may want to write again.
        ShowMessage(Message::NoAnswerInTime);
        return;
    case Result::NotConnected:
        // Gone during the read-back: the removal has its own message.
        return;
    case Result::NotSent:
    case Result::InvalidTable:
    case Result::Idle:
    case Result::Pending:
        ShowMessage(Message::WriteFailed);
        return;
    }
}

void ConfigDialog::OnCancel()
{
    reject();
}

bool ConfigDialog::OnDeviceChange(unsigned int eventType, void* eventData)
{
    // A notification still queued when the dialog ended must not re-open the
    // link it has closed.
    if (destroyed)
        return true;
    if (link.ClassifyDeviceChange(eventType, eventData) == ReceiverLink::kRemoved)
        ShowMessage(Message::Removed);
    return true;
}

void ConfigDialog::done(int result)
{
    OnDestroy();
    SkinDialog::done(result);
}

void ConfigDialog::OnDestroy()
{
    if (destroyed)
        return;
    destroyed = true;
    StopTimer();
    link.Close();
}

void ConfigDialog::ShowNotConnected()
{
    ShowMessage(link.LastFindError() == ATUSBHID_FIND_NO_PERMISSION ? Message::NoPermission
                                                                    : Message::NotConnected);
}

int ConfigDialog::ShowMessage(Message message)
{
    struct Texts
    {
        const char* english;
        const char* korean;
    };
    Texts texts{};
    switch (message) {
    case Message::NotConnected:
        texts = {"The receiver is not connected.", "수신기가 연결되지 않았습니다."};
        break;
    case Message::ResetQuestion:
        texts = {"Key values will be reset, Continue?",
                 "제품의 키가 원래상태로 초기화됩니다. 진행하시겠습까?"};
        break;
    case Message::Completed:
        texts = {"Setting has been completed.", "설정이 완료되었습니다."};
        break;
    case Message::Removed:
        texts = {"A receiver has been removed. Please insert again.",
                 "수신기가 제거되었습니다. 다시 꽂아주십시요."};
        break;
    case Message::WriteFailed:
        texts = {"The settings could not be written to the receiver.",
                 "설정을 수신기에 저장하지 못했습니다."};
        break;
    case Message::NotKept:
        texts = {"The receiver did not keep the new settings. Check that the chosen model matches "
                 "your presenter, then try again.",
                 "수신기에 새 설정이 저장되지 않았습니다. 선택한 모델이 프레젠터와 맞는지 확인한 "
                 "뒤 다시 시도해 주십시오."};
        break;
    case Message::NoAnswerInTime:
        texts = {"The receiver did not answer in time. It may still have kept the new settings: "
                 "press LOAD to see what it holds.",
                 "수신기가 제때 응답하지 않았습니다. 새 설정이 저장되었을 수도 있으니 LOAD를 "
                 "눌러 수신기에 저장된 값을 확인해 주십시오."};
        break;
    case Message::DesktopKeepsShortcuts:
        texts = {"The desktop keeps some key combinations for itself (such as the Windows key "
                 "with Tab). They cannot be set here.",
                 "데스크톱이 일부 키 조합(예: Windows 키+Tab)을 직접 사용하므로 여기에서 "
                 "설정할 수 없습니다."};
        break;
    case Message::NoPermission:
        texts = {"The receiver was found, but this user may not open it. Install the udev rule "
                 "(see README), then unplug and re-plug the receiver.",
                 "수신기를 찾았지만 이 사용자에게 열 권한이 없습니다. udev 규칙을 설치한 뒤 "
                 "수신기를 뽑았다가 다시 꽂아 주십시오."};
        break;
    }
    const char* text = nullptr;
    if (language == QLatin1String("English"))
        text = texts.english;
    else if (language == QLatin1String("Korean"))
        text = texts.korean;
    if (!text)
        return 0;
    const auto buttons = message == Message::ResetQuestion ? AppMessageBox::Buttons::YesNo
                                                           : AppMessageBox::Buttons::Ok;
    return AppMessageBox::Show(this, QString::fromUtf8(text), buttons, language);
}
