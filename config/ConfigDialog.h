// The configuration cycle shared by every presenter family: open the
// receiver, load its key table into the key fields, write and commit the
// fields (OK), restore the factory table (RESET), reload (LOAD), and follow
// the receiver's removal and arrival. A family only supplies its table.
#pragma once

#include "ConfigFamily.h"
#include "DeviceChangeSink.h"
#include "KeyTableStore.h"
#include "ReceiverLink.h"
#include "VerifiedWrite.h"

#include "BitmapButton.h"
#include "SkinDialog.h"

#include <QBasicTimer>
#include <QString>

#include <memory>
#include <vector>

class KeyCaptureEdit;
class QTimerEvent;

class ConfigDialog : public SkinDialog
{
    Q_OBJECT

public:
    // Timer 1 polls the answers of a load and of the read-back after OK; each
    // tick takes every answer already waiting.
    static constexpr int kPollIntervalMs = 10;

    ~ConfigDialog() override;

    // The hand-over from the main window, in this order, before DoModal.
    void SetModelName(const QString& model);
    void SetLanguage(const QString& language);
    void SetDeviceIds(int vendorId, int productId);

    // The buttons' and the system's handlers. Public so that the cycle can be
    // driven without a modal loop.
    void OnLoad();
    void OnReset();
    void OnOK();
    void OnCancel();
    // One poll of timer 1.
    void OnTimer();
    // eventType is a ReceiverLink device-change type, eventData the library's
    // event. Always handled.
    bool OnDeviceChange(unsigned int eventType, void* eventData);
    // Stops timer 1 and closes the link; runs once, when the dialog ends.
    void OnDestroy() override;

    bool IsTimerRunning() const { return timer1.isActive(); }
    // Between OK and the end of its read-back; LOAD, RESET and OK wait for it.
    bool IsVerifying() const { return verify.IsPending(); }
    const ConfigFamily& Family() const { return family; }
    const KeyTableStore& Table() const { return table; }
    bool IsConnected() const { return link.IsConnected() != 0; }
    // Slot 1 is the family's first slot.
    KeyCaptureEdit* KeyField(int slot) const;
    BitmapButton* OkButton() { return &okButton; }
    BitmapButton* CancelButton() { return &cancelButton; }
    BitmapButton* ResetButton() { return &resetButton; }
    BitmapButton* LoadButton() { return &loadButton; }

protected:
    ConfigDialog(const ConfigFamily& family, QWidget* parent);

    bool OnInitDialog() override;
    void done(int result) override;
    void timerEvent(QTimerEvent* event) override;

private:
    enum class Message
    {
        NotConnected,
        ResetQuestion,
        Completed,
        Removed,
        WriteFailed,
        NotKept,
        NoAnswerInTime,
        DesktopKeepsShortcuts,
        NoPermission
    };

    // The shown box's answer; 0 when the language shows no box.
    int ShowMessage(Message message);
    // Not connected, told truthfully: a receiver that is there but may not
    // be opened gets its own message.
    void ShowNotConnected();
    void ShowKeys();
    // The fields as the receiver stores them, in slot order.
    KeyTableWrite FieldsTable() const;
    // Reports how OK ended, once its result is final.
    void FinishOK(VerifiedWrite::Result result);
    void StopTimer() { timer1.stop(); }

    const ConfigFamily& family;

    BitmapButton okButton;
    BitmapButton cancelButton;
    BitmapButton resetButton;
    BitmapButton loadButton;
    std::vector<std::unique_ptr<KeyCaptureEdit>> keyFields; // slot order

    KeyTableStore table;
    VerifiedWrite verify;
    int vendorId = 0;
    int productId = 0;
    QString modelName;
    QString language;

    QBasicTimer timer1;
    bool destroyed = false;
    // Declared before the link: the library holds the sink's address until
    // the link unregisters it.
    DeviceChangeSink sink;
    ReceiverLink link;
};
