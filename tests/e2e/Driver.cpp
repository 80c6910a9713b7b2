#include "Driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include "platform/MediaPlayerControl.h"

namespace e2e {

namespace {
// A modal window still open this long after its step began is taken as stuck.
constexpr int kStuckMs = 10000;

QString Describe(QWidget* w) {
    QString line = QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(w)) line += QStringLiteral(": ") + box->text();
    return line;
}

QPoint RowPoint(QListWidget* list, int row) {
    QListWidgetItem* item = list->item(row);
    list->scrollToItem(item);
    const QRect r = list->visualItemRect(item);
    return QPoint(r.left() + 12, r.center().y());
}
}  // namespace

void Activate(QWidget* widget) {
    QWidget* window = widget->window();
    if (QApplication::activeWindow() == window) return;
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window, 2000))
        qWarning("%s did not get the keyboard", qPrintable(window->windowTitle()));
}

bool Click(QAbstractButton* button) {
    if (button == nullptr || !button->isEnabled() || !button->isVisible()) return false;
    Activate(button);
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

void ClickRow(QListWidget* list, int row) {
    Activate(list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowPoint(list, row));
}

void DoubleClickRow(QListWidget* list, int row) {
    Activate(list);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, RowPoint(list, row));
}

void RightClickSurface(QWidget* window) {
    Activate(window);
    // The first point of a coarse grid that no control covers.
    for (int y = 8; y < window->height(); y += 8)
        for (int x = 8; x < window->width(); x += 8)
            if (window->childAt(x, y) == nullptr) {
                QTest::mouseClick(window, Qt::RightButton, {}, QPoint(x, y));
                return;
            }
}

bool ClickMenuItem(QMenu* menu, const QString& caption) {
    if (!WaitFor(
            [menu] { return menu->isVisible() && menu->windowHandle() && menu->windowHandle()->isExposed(); },
            3000))
        return false;
    for (QAction* a : menu->actions())
        if (a->text() == caption) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
            return true;
        }
    return false;
}

namespace {
void Focus(QWidget* widget) {
    Activate(widget);
    if (!widget->hasFocus()) QTest::mouseClick(widget, Qt::LeftButton);
}
}  // namespace

void Type(QWidget* widget, const QString& text) {
    Focus(widget);
    QString pending;  // a run of characters an input method commits at once
    auto commit = [&] {
        if (pending.isEmpty()) return;
        QInputMethodEvent event;
        event.setCommitString(pending);
        QCoreApplication::sendEvent(widget, &event);
        pending.clear();
    };
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            pending += c;
            continue;
        }
        commit();
        if (c == QLatin1Char('\n'))
            QTest::keyClick(widget, Qt::Key_Return);
        else
            QTest::keyClick(widget, c.toLatin1());
    }
    commit();
}

void Retype(QWidget* widget, const QString& text) {
    Focus(widget);
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(widget, Qt::Key_Delete);
    else
        Type(widget, text);
}

bool WaitForPosition(qiva::MediaPlayerControl* player, double seconds, int timeoutMs) {
    return WaitFor([&] { return player->CurrentPosition() >= seconds; }, timeoutMs);
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QTest::qWait(2);
    }
    return true;
}

QString XProperty(QWidget* window, const QString& name, const QString& expected) {
    QString value;
    WaitFor(
        [&] {
            QProcess xprop;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));  // UTF-8 text, not escapes
            xprop.setProcessEnvironment(env);
            xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window->winId()),
                                                  QStringLiteral("-notype"), name});
            if (!xprop.waitForFinished(5000)) {
                value = QStringLiteral("<xprop (package x11-utils) did not run>");
                return false;
            }
            const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
            const qsizetype eq = out.indexOf(QStringLiteral(" = "));
            value = eq < 0 ? QStringLiteral("<") + out + QLatin1Char('>') : out.mid(eq + 3);
            return value == expected;
        },
        3000);
    return value;
}

QString XCaption(QWidget* window, const QString& expected) {
    const QString quoted = XProperty(window, QStringLiteral("_NET_WM_NAME"), u'"' + expected + u'"');
    return quoted.size() >= 2 && quoted.startsWith(u'"') && quoted.endsWith(u'"')
               ? quoted.mid(1, quoted.size() - 2)
               : quoted;
}

void Shot(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("QIVA_SCREENSHOT_DIR");
    if (dir.isEmpty() || window == nullptr) return;
    QTest::qWait(150);  // let a label that just changed, and the player's own bar, be drawn
    QDir().mkpath(dir);
    window->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")), "PNG");
}

// ---------------------------------------------------------------------------------------------------------

ModalScript::ModalScript() { QTimer::singleShot(15, this, &ModalScript::tick); }

void ModalScript::expect(Step step) { steps_.push_back(std::move(step)); }

void ModalScript::expectFileDialog(const QString& name, bool showFolder) {
    expect([name, showFolder](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (dialog == nullptr) {
            closeModal(w);
            return QStringLiteral("not a file dialog: ") + Describe(w);
        }
        QString line = dialog->windowTitle() + QStringLiteral(": ") + name;
        if (showFolder)
            line += QStringLiteral(" in ") + QDir::toNativeSeparators(dialog->directory().absolutePath());
        auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (QFileInfo(name).isAbsolute()) {
            // A whole path is pasted, as users do with a path they copied: typed key by key, Qt's dialog
            // selects every folder the path passes through and may open one of them instead.
            QGuiApplication::clipboard()->setText(name);
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else {
            Retype(box, name);
        }
        // Escape closes the list of names the box offers while typing, if it is showing; Enter then
        // accepts the name.
        if (QWidget* offered = QApplication::activePopupWidget()) QTest::keyClick(offered, Qt::Key_Escape);
        if (dialog->isVisible()) QTest::keyClick(box, Qt::Key_Return);
        return line;
    });
}

void ModalScript::expectCancelledFileDialog() {
    expect([](QWidget* w) {
        const QString line = w->windowTitle() + QStringLiteral(": cancelled");
        if (qobject_cast<QFileDialog*>(w) == nullptr) {
            closeModal(w);
            return QStringLiteral("not a file dialog: ") + Describe(w);
        }
        QTest::keyClick(w, Qt::Key_Escape);
        return line;
    });
}

void ModalScript::expectMessage(int standardButton, const QString& shotName) {
    expect([standardButton, shotName](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QAbstractButton* button = box ? box->button(QMessageBox::StandardButton(standardButton)) : nullptr;
        if (button == nullptr) {
            closeModal(w);
            return QStringLiteral("not a box with that button: ") + Describe(w);
        }
        const QString line = box->windowTitle() + QStringLiteral(": ") + box->text();
        if (!shotName.isEmpty()) Shot(box, shotName);
        Click(button);
        return line;
    });
}

void ModalScript::expectInput(const QString& answer) {
    expect([answer](QWidget* w) {
        auto* dialog = qobject_cast<QInputDialog*>(w);
        auto* box = dialog ? dialog->findChild<QLineEdit*>() : nullptr;
        if (box == nullptr) {
            closeModal(w);
            return QStringLiteral("not an input box: ") + Describe(w);
        }
        const QString line = dialog->windowTitle() + QStringLiteral(": ") + dialog->labelText() +
                             QStringLiteral(" [") + dialog->textValue() + QLatin1Char(']');
        Retype(box, answer);
        QTest::keyClick(box, Qt::Key_Return);
        return line;
    });
}

QStringList ModalScript::take() { return std::exchange(seen_, {}); }

void ModalScript::tick() {
    // The next look is booked first: a step blocks in the nested event loop of the window it opens, and the
    // window inside it must still be answered.
    QTimer::singleShot(15, this, &ModalScript::tick);
    check();
}

void ModalScript::check() {
    QWidget* m = QApplication::activeModalWidget();
    if (m == nullptr || !m->isVisible()) return;
    std::erase_if(handled_, [](const Handled& h) { return h.window.isNull(); });
    for (Handled& h : handled_) {
        if (h.window != m) continue;
        if (h.since.elapsed() > kStuckMs) {
            seen_ << QStringLiteral("left open: ") + Describe(m);
            h.since.restart();
            closeModal(m);
        }
        return;
    }
    if (m->windowHandle() == nullptr || !m->windowHandle()->isExposed()) return;  // not on the screen yet
    Handled h{m, {}};
    h.since.start();
    handled_.push_back(h);
    // As a window manager does, the new window gets the keyboard.
    Activate(m);
    if (steps_.empty()) {
        seen_ << QStringLiteral("unexpected: ") + Describe(m);
        closeModal(m);
        return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    // The line keeps its place before those of the windows this step opens in turn.
    const qsizetype slot = seen_.size();
    seen_ << QString();
    const QString line = step(m);
    seen_[slot] = line;
}

void ModalScript::closeModal(QWidget* w) {
    if (auto* dialog = qobject_cast<QDialog*>(w))
        dialog->reject();
    else
        w->close();
}

}  // namespace e2e
