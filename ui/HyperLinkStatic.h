#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QStringList>

#include <functional>

// A static text that acts as a web link: link colour on the dialog's own
// background, hover colour and hand cursor while the mouse is over it, the
// address as tooltip, and a click opens the address with the desktop's handler
// (falling back to $BROWSER or x-www-browser). It takes its own mouse
// presses: a press on it never drags the dialog.
class HyperLinkStatic : public QLabel
{
    Q_OBJECT
public:
    // ShellExecute-style result codes: above this means the address was opened.
    static constexpr int kLastFailureCode = 32;
    static constexpr int kOpened = 33;
    static constexpr int kNoAssociation = 31;
    static constexpr int kAssociationIncomplete = 27;
    static constexpr int kFileNotFound = 2;
    static constexpr int kAccessDenied = 5;
    static constexpr int kUnknownFailure = -1;
    static constexpr int kShowCommand = 5; // SW_SHOW

    static constexpr QRgb kLinkColour = qRgb(70, 70, 78);
    static constexpr QRgb kVisitedColour = qRgb(85, 26, 139);
    static constexpr QRgb kHoverColour = qRgb(255, 0, 0);
    static constexpr int kHoverCheckMs = 100;

    explicit HyperLinkStatic(QWidget* parent = nullptr);
    ~HyperLinkStatic() override;

    // Turns the label into a link once its text and font are in place (the
    // owner calls it after placing its controls): takes the text as address
    // when none is set, builds the plain and underline fonts, the cursor and
    // the tooltip, and resets the underline mode to -1.
    void Attach();
    bool IsAttached() const { return attached; }

    void SetUrl(const QString& address);
    void SetVisited(bool visitedNow);
    // -1: underline font while hovering; 0: never underline, plain font on
    // leave; 1: the label's font never changes.
    void SetUnderlineMode(int mode);

    // Opens the address; a result above kLastFailureCode means success.
    static int OpenUrl(const QString& address, int showCommand = kShowCommand);
    // Replaces how OpenUrl opens an address (tests); returns the previous one.
    // Empty restores the desktop's handler.
    using Opener = std::function<int(const QString& address, int showCommand)>;
    static Opener SetOpener(Opener opener);

    // "Unable to open hyperlink:\n\n" and the text for the result code.
    static QString ErrorMessage(int resultCode);

    // The fallback command line of a "%1" handler: cut at the quoted
    // placeholder, else at the bare one, else keep the whole line; then one
    // space and the address.
    static QString FallbackCommandLine(const QString& handlerCommand, const QString& address);
    // Program and arguments for a browser command ($BROWSER or x-www-browser).
    // The address is one argument of its own, never parsed: it takes the
    // place of the first argument that is exactly %s, %u, %U, %f, %F or %1
    // (further ones are dropped), or goes last. Empty, so that nothing runs,
    // for an empty command, a command whose program is the placeholder, one
    // with any other % code (the address would land inside an argument, as in
    // sh -c "browser %u"), and an address that would read as an option.
    static QStringList BrowserArguments(const QString& browserCommand, const QString& address);

    QString Url() const { return url; }
    bool Hovering() const { return hovering; }
    bool Visited() const { return visited; }
    int UnderlineMode() const { return underlineMode; }
    QColor TextColour() const;
    const QFont& PlainFont() const { return plainFont; }
    const QFont& UnderlineFont() const { return underlineFont; }
    bool HoverTimerActive() const { return hoverTimer.isActive(); }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void HoverStart();
    void HoverCheck();
    void Click();
    void UpdateColour();

    QColor linkColour{kLinkColour};
    QColor visitedColour{kVisitedColour};
    QColor hoverColour{kHoverColour};
    bool hovering = false;
    bool visited = false;
    int underlineMode = -1;
    QString url;
    QFont underlineFont;
    QFont plainFont;
    QBasicTimer hoverTimer;
    bool attached = false;
    bool pressedInside = false;
};
