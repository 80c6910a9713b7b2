#pragma once
// A user's hands on the real windows: mouse clicks and key presses through the window system interface,
// typing (Chinese through an input method's commit, as a Chinese user types it), and a script that answers
// the modal boxes and file dialogs the program opens, one after another, the way a person would.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QAbstractButton;
class QListWidget;
class QMenu;
class QWidget;

namespace qiva {
class MediaPlayerControl;
}

namespace e2e {

// --- hands
// --------------------------------------------------------------------------------------------------

// Gives the widget's window the keyboard, as a window manager does when a window is clicked or opened.
void Activate(QWidget* widget);
// Clicks an enabled, visible button in its middle. Returns false (and clicks nothing) otherwise.
bool Click(QAbstractButton* button);
// Clicks row `row` of a list near its left end, where its text is.
void ClickRow(QListWidget* list, int row);
void DoubleClickRow(QListWidget* list, int row);
// A right click on the window's own surface, away from every control.
void RightClickSurface(QWidget* window);
// Clicks the menu's item with this caption; false when the menu is not showing it.
bool ClickMenuItem(QMenu* menu, const QString& caption);
// Clicks into the widget unless it has the keyboard already, then types `text`: ASCII by key presses ("\n" is
// the Enter key), everything else as the committed text of an input method.
void Type(QWidget* widget, const QString& text);
// Ctrl+A, then `text` (or Delete when it is empty).
void Retype(QWidget* widget, const QString& text);

// --- time
// ---------------------------------------------------------------------------------------------------

// Lets the song play on until its position reaches `seconds`; false after `timeoutMs`.
bool WaitForPosition(qiva::MediaPlayerControl* player, double seconds, int timeoutMs = 15000);
// Waits until `condition` holds, processing events; false after `timeoutMs`.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// --- the window system's view
// ------------------------------------------------------------------------------------

// A property of the widget's X window as another X client reads it (xprop), e.g. `_NET_WM_NAME`: the text
// after "=", as xprop prints it. Waits up to three seconds for it to read `expected`, so that a property
// still on its way to the X server is not taken for a wrong one; returns what it read last.
QString XProperty(QWidget* window, const QString& name, const QString& expected);
// The caption a window manager shows: `_NET_WM_NAME` without its quotes.
QString XCaption(QWidget* window, const QString& expected);

// --- pictures
// -----------------------------------------------------------------------------------------------

// Saves the window as it is drawn now as <QIVA_SCREENSHOT_DIR>/<name>.png when that variable is set.
void Shot(QWidget* window, const QString& name);

// --- the modal script
// ---------------------------------------------------------------------------------------

// Answers the modal windows the program opens, in order. Each step is given the new modal window, does what
// a user would with it (which must close it) and returns a line describing what it saw; the test compares
// those lines. A modal window nobody expected is noted and closed, and so is one left open past the
// deadline, so that a fault shows as a failed comparison instead of a hung test.
class ModalScript : public QObject {
public:
    using Step = std::function<QString(QWidget*)>;

    ModalScript();

    void expect(Step step);
    // A file dialog: types `name` into its file name box and presses Enter. The line reads
    // "<caption>: <name>", plus " in <folder>" (the folder it opened in) when `showFolder`.
    void expectFileDialog(const QString& name, bool showFolder = false);
    // A file dialog closed with Escape: "<caption>: cancelled".
    void expectCancelledFileDialog();
    // A message box: "<title>: <text>"; clicks the button with this standard role (OK, Yes or No).
    void expectMessage(int standardButton, const QString& shotName = {});
    // The input box: "<title>: <label> [<default>]"; types `answer` over the default and presses Enter.
    void expectInput(const QString& answer);

    // Every line seen so far, and forgets them.
    QStringList take();
    // True when every expected step has run.
    bool done() const { return steps_.empty(); }
    // Forgets the steps that never ran.
    void clear() { steps_.clear(); }

private:
    void tick();
    void check();
    static void closeModal(QWidget* w);

    struct Handled {
        QPointer<QWidget> window;
        QElapsedTimer since;
    };
    std::deque<Step> steps_;
    QStringList seen_;
    std::vector<Handled> handled_;
};

}  // namespace e2e
