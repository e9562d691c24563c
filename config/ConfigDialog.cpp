#include "ConfigDialog.h"

#include "KeyAssignment.h"
#include "KeyCaptureEdit.h"
#include "KeyCodes.h"
#include "MessageBox.h"

#include <QMetaObject>
#include <QTimerEvent>

#include <array>
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
    for (int slot = 0; slot < family.tableSize; ++slot)
        keyFields.push_back(std::make_unique<KeyCaptureEdit>(this));

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
    if (!link.IsConnected()) {
        ShowNotConnected();
        return;
    }
    table.BeginLoad(family.tableSize);
    link.Write(ReceiverReport::ReadRequest());
    timer1.start(kPollIntervalMs, Qt::PreciseTimer, this);
}

void ConfigDialog::OnTimer()
{
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
    if (!link.IsConnected()) {
        ShowNotConnected();
        return;
    }
    // A table written only in part must not be committed.
    if (!WriteKeys() || !Commit()) {
        ShowMessage(Message::WriteFailed);
        return;
    }
    ShowMessage(Message::Completed);
}

bool ConfigDialog::WriteKeys()
{
    std::array<KeyAssignment, KeyTableStore::kCapacity> keys{};
    bool anyKey = false;
    for (int i = 0; i < family.tableSize; ++i) {
        std::uint8_t modifiers = 0;
        std::uint16_t virtualKey = 0;
        keyFields[i]->GetKey(modifiers, virtualKey);
        keys[i].modifiers = modifiers;
        keys[i].keyCode = VirtualKeyToKeyCode(virtualKey);
        anyKey = anyKey || keys[i].keyCode != 0;
    }
    if (!anyKey)
        return true;
    for (int i = 0; i < family.tableSize; ++i) {
        const auto request = ReceiverReport::WriteKeyRequest(
            static_cast<std::uint8_t>(family.tableSize), static_cast<std::uint8_t>(i + 1),
            family.factoryKeyCodes[i], keys[i].modifiers, keys[i].keyCode);
        if (!link.Write(request))
            return false;
    }
    return true;
}

bool ConfigDialog::Commit()
{
    return link.Write(ReceiverReport::CommitRequest()) != 0;
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
    return AppMessageBox::Show(this, QString::fromUtf8(text), buttons);
}
