// The operator dialog, the About box and the application shell, driven as the
// operator drives them, against the simulated controller. Prompts, the About
// box and the help are caught by the dialog's hooks instead of blocking.
#include "connection/connection.h"
#include "link/link.h"
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "sim/sim_controller.h"
#include "tests/link_reset.h"
#include "ui/about_dlg.h"
#include "ui/help.h"
#include "ui/lumora_app.h"
#include "ui/led_dlg.h"
#include "ui/lumora_dlg.h"
#include "ui/qt/qt_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <memory>

using namespace lumora::ui;

namespace {

QStringList Sent()
{
    QStringList described;
    for (const sim::Packet& packet : sim::Packets()) {
        described << QString::fromStdString(sim::Describe(packet));
    }
    return described;
}

QStringList CallNames()
{
    QStringList names;
    for (const sim::Call& call : sim::Calls()) {
        names << QString::fromStdString(call.function);
    }
    return names;
}

// The window behind a dialog of the layer.
QDialog* Q(CDialogEx& dialog) { return qobject_cast<QDialog*>(QtWidget(dialog)); }

const int kFieldIds[] = {IDC_FREQUENCY, IDC_PICTURE, IDC_PICTURE_M, IDC_PICTURE_N};

QString OwnProgramName()
{
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return QString::fromStdString(name);
}

// WCAG's contrast ratio of two colours, from 1 to 21.
double Contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CLumoraDlg> dlg;
    QStringList prompts;
    QList<QDialog*> aboutBoxes;  // as the About hook saw them, valid only inside it
    QString chosenFile;          // what the file chooser hands back
    QStringList questions;       // the yes-or-no questions asked
    bool answer = false;         // and the answer each gets
    QStringList aboutCaptions;
    int helpShown = 0;

    QDialog* W() { return Q(*dlg); }
    QPushButton* Button(int id) { return qobject_cast<QPushButton*>(QtWidget(dlg->GetDlgItem(id))); }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(QtWidget(dlg->GetDlgItem(id))); }
    QCheckBox* Box() { return qobject_cast<QCheckBox*>(QtWidget(dlg->GetDlgItem(IDC_USB_CONNECTED))); }
    QLabel* Status() { return qobject_cast<QLabel*>(QtWidget(dlg->StatusLine())); }
    // Clicks and lets the action that the click started run to its end.
    void Click(int id)
    {
        Button(id)->click();
        QVERIFY(QTest::qWaitFor([this] { return !dlg->ActionRunning(); }, 10000));
    }

    void Type(int id, const QString& text) { Edit(id)->setText(text); }
    QStringList Fields()
    {
        QStringList texts;
        for (int id : kFieldIds) {
            texts << Edit(id)->text();
        }
        return texts;
    }

    // The context menu's own items, by their command ids.
    QAction* MenuItem(unsigned command)
    {
        for (QAction* item : QtMenu(dlg->GetSystemMenu())->actions()) {
            if (item->data().toUInt() == command) {
                return item;
            }
        }
        return nullptr;
    }

    // The Module submenu as it opens.
    QStringList ModuleEntries()
    {
        emit QtMenu(dlg->ModuleMenu())->aboutToShow();
        QStringList entries;
        for (QAction* entry : QtMenu(dlg->ModuleMenu())->actions()) {
            entries << (entry->isChecked() ? "[x] " : "[ ] ") + entry->text();
        }
        return entries;
    }

    void ConnectQuietly()
    {
        QVERIFY(lumora::ConnectDevice());
        sim::ClearRecords();
    }

private slots:
    void init()
    {
        ResetLinkState();
        lumora::SetPauseFunction([](int) {});
        prompts.clear();
        aboutCaptions.clear();
        helpShown = 0;

        dlg = std::make_unique<CLumoraDlg>();
        dlg->hooks.prompt = [this](CWnd& parent, const std::string& text) {
            // the main dialog, or a dialog of its own
            QVERIFY(&parent == dlg.get() || static_cast<CDialogEx&>(parent).GetParent() == dlg.get());
            prompts << QString::fromStdString(text);
        };
        dlg->hooks.runModal = [this](CDialogEx& box) {
            aboutCaptions << Q(box)->windowTitle();
            [&] { QCOMPARE(box.GetParent(), static_cast<CWnd*>(dlg.get())); }();
            return 0;
        };
        dlg->hooks.help = [this](CWnd& parent) {
            QCOMPARE(&parent, static_cast<CWnd*>(dlg.get()));
            ++helpShown;
        };
        chosenFile.clear();
        dlg->hooks.chooseFile = [this](CWnd&, const std::string&, const FileFilter& filter) {
            [&] {
                QCOMPARE(filter.name, std::string("Sequence files"));
                QCOMPARE(filter.pattern, std::string("*.toml"));
            }();
            return QFile::encodeName(chosenFile).toStdString();
        };
        questions.clear();
        dlg->hooks.ask = [this](CWnd& parent, const std::string& question) {
            [&] { QCOMPARE(&parent, static_cast<CWnd*>(dlg.get())); }();
            questions << QString::fromStdString(question);
            return answer;
        };
        answer = false;
        W()->show();
    }

    void cleanup()
    {
        dlg.reset();
        QVERIFY(sim::Violations().empty());
        QVERIFY(QApplication::overrideCursor() == nullptr);  // every busy cursor was taken down
    }

    void startUpState()
    {
        // Constructing the dialog released the HID library once and sent nothing.
        QCOMPARE(CallNames(), QStringList{"hid_exit"});
        QCOMPARE(lumora::deviceConnected, 0);

        QCOMPARE(W()->windowTitle(), QStringLiteral("Lumora"));
        QCOMPARE(Fields(), (QStringList{"10", "12", "10", "20"}));
        QVERIFY(!Box()->isChecked());
        QCOMPARE(W()->focusWidget(), Button(IDOK));
        QVERIFY(Button(IDOK)->isDefault());
        QVERIFY(!W()->windowIcon().isNull());
        QVERIFY(!(W()->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

        // Tab order is template order, labels skipped.
        QList<int> tabOrder;
        QWidget* at = Button(IDOK);
        do {
            if ((at->focusPolicy() & Qt::TabFocus) != 0 && at->property("controlId").isValid()) {
                tabOrder << at->property("controlId").toInt();
            }
            at = at->nextInFocusChain();
        } while (at != Button(IDOK));
        QCOMPARE(tabOrder, (QList<int>{IDOK, IDCANCEL, ID_HELP, 1000, 1001, 1002, 1003, 1004, 1005, 1007, 1008,
                                       1009, 1010, 1011, 1012, 1013}));

        // The system menu ends with a separator and the About item.
        const QList<QAction*> items = QtMenu(dlg->GetSystemMenu())->actions();
        QVERIFY(items.size() >= 2);
        QVERIFY(items[items.size() - 2]->isSeparator());
        QCOMPARE(items.last()->text(), QStringLiteral("&About Lumora..."));
        QCOMPARE(items.last()->data().toUInt(), AboutCommand);
    }

    void controlsSitAtTheirTemplatePlacesAndStayThereWhenResized()
    {
        const auto expected = [&](const ControlTemplate& control) {
            const PixelRect at = dlg->MapDialogRect(control.rect);
            return QRect(at.x, at.y, at.width, at.height);
        };
        for (int round = 0; round < 2; ++round) {
            const auto& controls = dlg->Template().controls;
            QCOMPARE(dlg->Controls().size(), controls.size());
            for (std::size_t i = 0; i < controls.size(); ++i) {
                QCOMPARE(QtWidget(dlg->Controls()[i])->geometry(), expected(controls[i]));
                if (controls[i].id != IDC_STATIC && controls[i].kind != ControlKind::Edit) {
                    QCOMPARE(qobject_cast<QAbstractButton*>(QtWidget(dlg->Controls()[i]))->text(),
                             QString::fromUtf8(controls[i].caption));
                }
            }
            W()->resize(W()->width() + 150, W()->height() + 90);
        }
    }

    // One field set to a text, then "Project Full Fringes", which exchanges
    // all four fields whichever it uses.
    void validation_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("prompt");  // empty: the action runs
        QTest::addColumn<int>("stored");      // the field's member afterwards

        const QString integer = QString::fromStdString(IntegerPrompt());
        const QString frequency = QString::fromStdString(RangePrompt(1, 120));
        const QString picture = QString::fromStdString(RangePrompt(1, 31));

        QTest::newRow("frequency 1") << int(IDC_FREQUENCY) << "1" << QString() << 1;
        QTest::newRow("frequency 120") << int(IDC_FREQUENCY) << "120" << QString() << 120;
        QTest::newRow("frequency with blanks") << int(IDC_FREQUENCY) << " 15 " << QString() << 15;
        QTest::newRow("frequency with plus") << int(IDC_FREQUENCY) << "+5" << QString() << 5;
        QTest::newRow("frequency 0 is stored, then refused") << int(IDC_FREQUENCY) << "0" << frequency << 0;
        QTest::newRow("frequency 121") << int(IDC_FREQUENCY) << "121" << frequency << 121;
        QTest::newRow("frequency -1") << int(IDC_FREQUENCY) << "-1" << frequency << -1;
        QTest::newRow("frequency empty") << int(IDC_FREQUENCY) << "" << integer << 10;
        QTest::newRow("frequency letters") << int(IDC_FREQUENCY) << "ten" << integer << 10;
        QTest::newRow("frequency trailing letters") << int(IDC_FREQUENCY) << "10Hz" << integer << 10;
        QTest::newRow("frequency 2^31 stored nowhere") << int(IDC_FREQUENCY) << "2147483648" << frequency << 10;
        QTest::newRow("frequency 2^32+1 never wraps to 1") << int(IDC_FREQUENCY) << "4294967297" << frequency << 10;
        QTest::newRow("picture 1") << int(IDC_PICTURE) << "1" << QString() << 1;
        QTest::newRow("picture 31") << int(IDC_PICTURE) << "31" << QString() << 31;
        QTest::newRow("picture 0") << int(IDC_PICTURE) << "0" << picture << 0;
        QTest::newRow("picture 32") << int(IDC_PICTURE) << "32" << picture << 32;
        QTest::newRow("M 1") << int(IDC_PICTURE_M) << "1" << QString() << 1;
        QTest::newRow("M 32") << int(IDC_PICTURE_M) << "32" << picture << 32;
        QTest::newRow("N 31") << int(IDC_PICTURE_N) << "31" << QString() << 31;
        QTest::newRow("N 0 blocks full fringes") << int(IDC_PICTURE_N) << "0" << picture << 0;
        QTest::newRow("N -2^31-1") << int(IDC_PICTURE_N) << "-2147483649" << picture << 20;
        QTest::newRow("N blank") << int(IDC_PICTURE_N) << " " << integer << 20;
    }

    void validation()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, prompt);
        QFETCH(int, stored);
        ConnectQuietly();
        Type(field, text);

        Click(IDC_PROJECT_FULL_FRINGES);

        const int member = field == IDC_FREQUENCY   ? dlg->frequency
                           : field == IDC_PICTURE   ? dlg->picture
                           : field == IDC_PICTURE_M ? dlg->pictureM
                                                    : dlg->pictureN;
        QCOMPARE(member, stored);
        QCOMPARE(Edit(field)->text(), text);  // left as typed
        if (prompt.isEmpty()) {
            QVERIFY(prompts.isEmpty());
            QVERIFY(Sent().contains("CmdLutControl [1E 01 1E 0A]"));
        } else {
            QCOMPARE(prompts, QStringList{prompt});
            QVERIFY(Sent().isEmpty());
            QCOMPARE(W()->focusWidget(), Edit(field));
            QCOMPARE(Edit(field)->selectedText(), text);
        }
    }

    void firstFailureEndsTheExchange()
    {
        Type(IDC_FREQUENCY, "x");
        Type(IDC_PICTURE, "5");
        Type(IDC_PICTURE_N, "99");
        Click(IDC_PROJECT_ONE_PICTURE);
        QCOMPARE(prompts, QStringList{QString::fromStdString(IntegerPrompt())});
        QCOMPARE(dlg->picture, 12);  // the fields after the failing one were not read
        QCOMPARE(W()->focusWidget(), Edit(IDC_FREQUENCY));
    }

    // Each exchanging button hands its action the values as typed.
    void actionsGetTheTypedValues_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("expected");  // packets that only these values give

        QTest::newRow("Project Full Fringes at 7 Hz")
            << int(IDC_PROJECT_FULL_FRINGES) << QStringList{"+7", "12", "10", "20"}
            << QStringList{"CmdDisplayMode [01]", "CmdLutControl [1E 01 1E 0A]",
                           "CmdExposurePeriod [09 2E 02 00 09 2E 02 00]"};
        QTest::newRow("Project From M to N, 10 to 20 at 120 Hz")
            << int(IDC_PROJECT_RANGE) << QStringList{"120", "12", " 10", "20 "}
            << QStringList{"CmdLutControl [0A 01 00 0A]", "CmdExposurePeriod [8D 20 00 00 8D 20 00 00]",
                           "CmdLutData [03 03 03 04 04 04 05 05 05 06 06]"};
        QTest::newRow("Project From M to N, M = N")
            << int(IDC_PROJECT_RANGE) << QStringList{"10", "12", "31", "31"}
            << QStringList{"CmdLutControl [00 01 00 00]", "CmdLutData [00 78 06]", "CmdLutData [0A]"};
        QTest::newRow("Project 1 Picture, 12 at 1 Hz")
            << int(IDC_PROJECT_ONE_PICTURE) << QStringList{"1", "12", "10", "20"}
            << QStringList{"CmdLutControl [00 01 00 00]", "CmdExposurePeriod [40 42 0F 00 40 42 0F 00]",
                           "CmdLutData [08 78 02]", "CmdLutData [03]"};
    }

    void actionsGetTheTypedValues()
    {
        QFETCH(int, button);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, expected);
        ConnectQuietly();
        for (int i = 0; i < 4; ++i) {
            Type(kFieldIds[i], fields[i]);
        }

        Click(button);

        QVERIFY(prompts.isEmpty());
        const QStringList sent = Sent();
        for (const QString& packet : expected) {
            QVERIFY2(sent.contains(packet), qPrintable(packet + " missing from:\n" + sent.join('\n')));
        }
        QCOMPARE(sent.last(), QStringLiteral("CmdPatternStartStop [02]"));  // ran to its end
        QCOMPARE(Fields(), fields);  // nothing writes the fields back
    }

    void rangeWithMAboveNIsRefusedAndSendsNothing()
    {
        ConnectQuietly();
        Type(IDC_PICTURE_M, "21");
        Type(IDC_PICTURE_N, "20");
        Click(IDC_PROJECT_RANGE);
        QCOMPARE(prompts,
                 QStringList{"The first picture (M) must not be greater than the last picture (N)."});
        QVERIFY(Sent().isEmpty());
        QCOMPARE(W()->focusWidget(), Edit(IDC_PICTURE_M));
        QCOMPARE(Fields(), (QStringList{"10", "12", "21", "20"}));
    }

    // The buttons that read no field run whatever the fields hold.
    void actionsWithoutFieldsIgnoreInvalidFields_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("first");  // first packet or, with none, last hidapi call
        QTest::addColumn<int>("packets");

        QTest::newRow("Project Cross") << int(IDC_PROJECT_CROSS) << "CmdPatternSource [03]" << 16;
        QTest::newRow("ConnectUSB") << int(IDC_CONNECT_USB) << "hid_read_timeout" << 0;  // what waits is read away
        QTest::newRow("START") << int(IDC_START) << "CmdLongAxisFlip [00]" << 18;
        QTest::newRow("PAUSE") << int(IDC_PAUSE) << "CmdPatternStartStop [01]" << 1;
        QTest::newRow("STOP") << int(IDC_STOP) << "CmdPatternStartStop [00]" << 1;
    }

    void actionsWithoutFieldsIgnoreInvalidFields()
    {
        QFETCH(int, button);
        QFETCH(QString, first);
        QFETCH(int, packets);
        ConnectQuietly();
        const QStringList typed = {"fast", "", "0", "2147483648"};
        for (int i = 0; i < 4; ++i) {
            Type(kFieldIds[i], typed[i]);
        }

        Click(button);

        QVERIFY(prompts.isEmpty());
        const QStringList sent = Sent();
        QCOMPARE(sent.size(), packets);
        QCOMPARE(packets > 0 ? sent.first() : CallNames().last(), first);
        QCOMPARE(Fields(), typed);
    }

    void connectTicksTheBoxFromItsResult_data()
    {
        QTest::addColumn<int>("modules");
        QTest::addColumn<bool>("tickedBefore");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("usbConnected");
        QTest::newRow("module attached") << 1 << false << true << 1;
        QTest::newRow("no module clears the tick") << 0 << true << false << 0;
        QTest::newRow("no module, box clear") << 0 << false << false << 0;
    }

    void connectTicksTheBoxFromItsResult()
    {
        QFETCH(int, modules);
        QFETCH(bool, tickedBefore);
        QFETCH(bool, ticked);
        QFETCH(int, usbConnected);
        sim::SetModuleCount(modules);
        Box()->setChecked(tickedBefore);

        Click(IDC_CONNECT_USB);

        QCOMPARE(Box()->isChecked(), ticked);
        QCOMPARE(dlg->usbConnected, usbConnected);
        QCOMPARE(lumora::deviceConnected, modules > 0 ? 1 : 0);
        QVERIFY(prompts.isEmpty());
        QVERIFY(Sent().isEmpty());
    }

    // After every action the tick says whether a module is open.
    void theBoxFollowsTheLinkAfterEveryAction()
    {
        Click(IDC_START);  // a fresh window: START opens the module
        QCOMPARE(lumora::deviceConnected, 1);
        QVERIFY(Box()->isChecked());
        sim::FailWriteAt(1);
        Click(IDC_STOP);  // the link fails and the module is closed
        QCOMPARE(lumora::deviceConnected, 0);
        QVERIFY(!Box()->isChecked());
        QCOMPARE(dlg->usbConnected, 0);
        Click(IDC_CONNECT_USB);
        QVERIFY(Box()->isChecked());
        sim::SetModuleCount(0);
        Click(IDC_START);  // reopens and fails
        QCOMPARE(lumora::deviceConnected, 0);
        QVERIFY(!Box()->isChecked());
    }

    void clickingTheBoxChangesNothing()
    {
        sim::ClearRecords();
        QTest::mouseClick(Box(), Qt::LeftButton);
        QVERIFY(!Box()->isChecked());  // no module is open
        QCOMPARE(dlg->usbConnected, 0);
        QVERIFY(sim::Calls().empty());
        QVERIFY(dlg->UpdateData(true));
        QCOMPARE(dlg->usbConnected, 0);
    }

    // How the dialog ends, and what it checks on the way.
    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("promptCount");

        QTest::newRow("OK, valid") << "ok" << "10" << true << int(IDOK) << 0;
        QTest::newRow("OK, invalid") << "ok" << "0" << false << 0 << 1;
        QTest::newRow("Enter in a field, valid") << "enter" << "10" << true << int(IDOK) << 0;
        QTest::newRow("Enter in a field, invalid") << "enter" << "x" << false << 0 << 1;
        QTest::newRow("Cancel, invalid") << "cancel" << "x" << true << int(IDCANCEL) << 0;
        QTest::newRow("Escape, invalid") << "escape" << "x" << true << int(IDCANCEL) << 0;
        QTest::newRow("close command, invalid") << "close" << "x" << true << int(IDCANCEL) << 0;
    }

    void closing()
    {
        QFETCH(QString, how);
        QFETCH(QString, frequency);
        QFETCH(bool, closed);
        QFETCH(int, result);
        QFETCH(int, promptCount);
        ConnectQuietly();
        Type(IDC_FREQUENCY, frequency);

        if (how == "ok") {
            Click(IDOK);
        } else if (how == "enter") {
            QTest::keyClick(Edit(IDC_PICTURE), Qt::Key_Return);
        } else if (how == "cancel") {
            Click(IDCANCEL);
        } else if (how == "escape") {
            QTest::keyClick(Edit(IDC_PICTURE), Qt::Key_Escape);
        } else {
            dlg->OnSysCommand(SC_CLOSE);
        }

        QCOMPARE(W()->isVisible(), !closed);
        if (closed) {
            QCOMPARE(W()->result(), result);
        }
        QCOMPARE(prompts.size(), promptCount);
        QVERIFY(Sent().isEmpty());
        QCOMPARE(sim::OpenHandleCount(), 1);  // closing leaves the link alone
    }

    // The status line after each kind of outcome: what the operator reads
    // and whether it is marked as a failure.
    void statusLineTellsWhatHappened_data()
    {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("severity");
        const int ok = int(lumora::Severity::Ok);
        const int failure = int(lumora::Severity::Failure);

        QTest::newRow("accepted") << "connect" << int(IDC_PROJECT_FULL_FRINGES)
                                  << "Project Full Fringes at 10 Hz: sent; the controller accepted the tables; the sequence was started."
                                  << ok;
        QTest::newRow("preset before ConnectUSB") << "" << int(IDC_PROJECT_FULL_FRINGES)
                                                  << "Not connected; press ConnectUSB first." << failure;
        QTest::newRow("no module") << "no module" << int(IDC_CONNECT_USB) << "No module attached (USB 0451:6401)."
                                   << failure;
        QTest::newRow("not accessible") << "denied" << int(IDC_CONNECT_USB)
                                        << "A module is attached but this user may not open it; see Help." << failure;
        QTest::newRow("held by another program") << "held" << int(IDC_CONNECT_USB)
                                                 << "The module at {path} is held by another program ({self}, "
                                                    "process {pid})."
                                                 << failure;
        QTest::newRow("refusing module") << "connect, refusing" << int(IDC_PAUSE)
                                         << "Pause: the controller refused CmdPatternStartStop." << failure;
        QTest::newRow("link fails mid-run") << "connect, third write fails" << int(IDC_PROJECT_CROSS)
                                            << "Project Cross: the link failed at CmdExposurePeriod, command 3 of 16, and the module "
                                               "was closed; the sequence was not started; press ConnectUSB."
                                            << failure;
        QTest::newRow("check gives up") << "connect, busy" << int(IDC_PROJECT_ONE_PICTURE)
                                        << "Project picture 12 at 10 Hz: the controller stayed busy checking the "
                                           "tables for 20 ms; the sequence was started anyway."
                                        << failure;
        QTest::newRow("connected") << "" << int(IDC_CONNECT_USB) << "Connected to the module at {path} (serial SIM0001)."
                                   << ok;
    }

    void statusLineTellsWhatHappened()
    {
        QFETCH(QString, setUp);
        QFETCH(int, button);
        QFETCH(QString, text);
        QFETCH(int, severity);
        const QString path = QString::fromStdString(sim::DefaultModule(0).path);
        int held = -1;
        if (setUp.startsWith("connect")) {
            ConnectQuietly();
        }
        if (setUp == "no module") {
            sim::SetModuleCount(0);
        } else if (setUp == "denied" ) {
            sim::Module denied = sim::DefaultModule(0);
            denied.access = sim::Access::Denied;
            sim::SetModules({denied});
        } else if (setUp == "held") {
            held = ::open(qPrintable(path), O_RDONLY | O_CLOEXEC);
            QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        } else if (setUp.endsWith("refusing")) {
            sim::SetAckMode(sim::AckMode::ErrorFlag);
        } else if (setUp.endsWith("third write fails")) {
            sim::FailWriteAt(3);
        } else if (setUp.endsWith("busy")) {
            sim::SetStatusSeries({0x80});
            lumora::SetStatusPollBound(std::chrono::milliseconds(20));
        }
        Box()->setChecked(true);

        Click(button);

        text.replace("{path}", path).replace("{pid}", QString::number(::getpid())).replace("{self}", OwnProgramName());
        QCOMPARE(Status()->toolTip(), text);
        QVERIFY2(Status()->text().endsWith(text), qPrintable(Status()->text()));
        QCOMPARE(int(dlg->StatusSeverity()), severity);
        QCOMPARE(Status()->text() != text, severity != int(lumora::Severity::Ok));  // failures carry a mark
        QCOMPARE(Status()->font().bold(), severity != int(lumora::Severity::Ok));
        if (button == IDC_CONNECT_USB) {
            QCOMPARE(Box()->isChecked(), severity == int(lumora::Severity::Ok));  // the tick follows the result
        }
        if (held >= 0) {
            QVERIFY(Sent().isEmpty());
            ::close(held);
        }
    }

    void failuresStandOutOnLightAndDarkPalettes_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<QColor>("text");
        QTest::newRow("light") << QColor(0xEF, 0xEF, 0xEF) << QColor(Qt::black);
        QTest::newRow("white") << QColor(Qt::white) << QColor(Qt::black);
        QTest::newRow("classic grey") << QColor(0xC0, 0xC0, 0xC0) << QColor(Qt::black);
        QTest::newRow("dark") << QColor(0x2D, 0x2D, 0x2D) << QColor(0xE0, 0xE0, 0xE0);
        QTest::newRow("black") << QColor(Qt::black) << QColor(Qt::white);
    }

    void failuresStandOutOnLightAndDarkPalettes()
    {
        QFETCH(QColor, window);
        QFETCH(QColor, text);
        QPalette palette = W()->palette();
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, text);
        W()->setPalette(palette);
        sim::SetModuleCount(0);
        Click(IDC_CONNECT_USB);

        const QColor shown = Status()->palette().color(QPalette::WindowText);
        QVERIFY2(Contrast(shown, window) >= 4.5, qPrintable(shown.name()));
        QVERIFY(shown != text);  // marked, not plain text
        QVERIFY(Status()->font().bold());
    }

    // A slow module holds the action at its first acknowledgement. Clicks and
    // keys meanwhile are dropped, the window keeps painting and shows the
    // wait, and one upload is all that reaches the controller.
    void inputDuringAnActionIsDropped()
    {
        ConnectQuietly();
        PaintCounter counter;
        Status()->installEventFilter(&counter);
        sim::HoldReads();
        QPushButton* fringes = Button(IDC_PROJECT_FULL_FRINGES);
        fringes->setFocus();
        QTest::mouseClick(fringes, Qt::LeftButton);
        QVERIFY(dlg->ActionRunning());
        QVERIFY(QTest::qWaitFor([] { return sim::HeldReads() == 1; }, 5000));

        QTest::mouseClick(fringes, Qt::LeftButton);
        QTest::mouseClick(fringes, Qt::LeftButton);
        QTest::keyClick(fringes, Qt::Key_Space);
        QTest::mouseClick(Button(IDC_PAUSE), Qt::LeftButton);
        QTest::mouseClick(Box(), Qt::LeftButton);
        QTest::keyClicks(Edit(IDC_FREQUENCY), "99");
        QTest::keyClick(W(), Qt::Key_Return);
        counter.paints = 0;
        QTest::qWait(700);
        QVERIFY(counter.paints > 0);  // it kept painting while the command waited
        QVERIFY2(Status()->text().contains("waiting for the controller"),
                 qPrintable(Status()->text()));
        QVERIFY(Status()->text().startsWith("Project Full Fringes at 10 Hz: configuring the controller; "));

        sim::ReleaseReads();
        QVERIFY(QTest::qWaitFor([this] { return !dlg->ActionRunning(); }, 10000));
        QVERIFY(W()->isVisible());  // Enter during the action closed nothing
        const QStringList sent = Sent();
        QCOMPARE(sent.count("CmdLutAccess [02]"), 1);
        QVERIFY(!sent.contains("CmdPatternStartStop [01]"));
        QCOMPARE(sent.size(), 29);
        QCOMPARE(Edit(IDC_FREQUENCY)->text(), QStringLiteral("10"));
        QVERIFY(Box()->isChecked());  // the click on it during the action changed nothing: the module is open
        QCOMPARE(QApplication::focusWidget(), fringes);  // the keyboard user keeps their place
        QVERIFY(fringes->isEnabled());
    }

    // A slow module: the status line follows the run, step by step, while
    // the window's thread and the action's thread share no lock at all.
    void progressFollowsASlowModule()
    {
        ConnectQuietly();
        sim::SetReadDelay(std::chrono::milliseconds(15));
        Button(IDC_PROJECT_ONE_PICTURE)->click();
        QStringList shown;
        while (dlg->ActionRunning()) {
            QTest::qWait(10);
            if (shown.isEmpty() || shown.last() != Status()->text()) {
                shown << Status()->text();
            }
        }
        QVERIFY2(shown.size() >= 3, qPrintable(shown.join('\n')));
        QVERIFY(shown.filter("uploading the look-up tables").size() > 0);
        QVERIFY(shown.filter("starting the sequence").size() > 0);
        QCOMPARE(Status()->text(),
                 QStringLiteral("Project picture 12 at 10 Hz: sent; the controller accepted the tables; the sequence was started."));
    }

    // Cancel and Escape during an action against a silent module: the action
    // stops within a read slice, the window stays, and the line says what went out.
    void cancellingAnAction_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "button";
        QTest::newRow("Escape") << "escape";
    }

    void cancellingAnAction()
    {
        QFETCH(QString, how);
        ConnectQuietly();
        sim::SetAckMode(sim::AckMode::Silent);
        sim::SetRealTimeouts(true);
        Button(IDC_PROJECT_FULL_FRINGES)->click();
        QTest::qWait(300);
        QVERIFY(dlg->ActionRunning());
        QElapsedTimer cancelled;
        cancelled.start();
        if (how == "button") {
            QTest::mouseClick(Button(IDCANCEL), Qt::LeftButton);
        } else {
            QTest::keyClick(W(), Qt::Key_Escape);
        }
        QVERIFY(QTest::qWaitFor([this] { return !dlg->ActionRunning(); }, 2000));
        qInfo("Cancel to the status line: %lld ms", static_cast<long long>(cancelled.elapsed()));
        QVERIFY(W()->isVisible());
        QCOMPARE(Sent(), QStringList{"CmdDisplayMode [01]"});
        QCOMPARE(Status()->text(),
                 QStringLiteral("\u26A0 Project Full Fringes at 10 Hz: cancelled after 1 of 29 commands; the sequence "
                                "was not started; press STOP or run it again."));
        sim::SetRealTimeouts(false);
    }

    // Closing during an action waits for its end; then the request counts.
    void closingDuringAnActionWaitsForItsEnd_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("close command") << "close" << int(IDCANCEL);
        QTest::newRow("window closed") << "window" << int(IDCANCEL);
    }

    void closingDuringAnActionWaitsForItsEnd()
    {
        QFETCH(QString, how);
        QFETCH(int, result);
        ConnectQuietly();
        sim::HoldReads();
        Button(IDC_STOP)->click();
        QVERIFY(QTest::qWaitFor([] { return sim::HeldReads() == 1; }, 5000));
        if (how == "close") {
            dlg->OnSysCommand(SC_CLOSE);
        } else if (how == "escape") {
            QTest::keyClick(W(), Qt::Key_Escape);
        } else {
            W()->close();
        }
        QTest::qWait(50);
        QVERIFY(W()->isVisible());
        sim::ReleaseReads();
        QVERIFY(QTest::qWaitFor([this] { return !W()->isVisible(); }, 10000));
        QCOMPARE(W()->result(), result);
        QCOMPARE(Sent(), QStringList{"CmdPatternStartStop [00]"});
    }

    // "Project Sequence File..." on the context menu: a file with errors is
    // shown with its lines and sends nothing; a good one runs as any action.
    void sequenceFile_data()
    {
        QTest::addColumn<QString>("toml");
        QTest::addColumn<QString>("status");  // the controller's check: "00" accepts
        QTest::addColumn<QString>("prompt");  // empty: no prompt
        QTest::addColumn<QString>("line");    // the status line afterwards
        QTest::addColumn<int>("packets");

        const QString good = "frequency_hz = 60\n[[pattern]]\nimage = 3\npattern = [0, 1]\n";
        QTest::newRow("accepted") << good << "00" << QString()
                                  << "Sequence scan.toml: sent; the controller accepted the tables; the sequence was started." << 29;
        QTest::newRow("rejected: not started")
            << good << "05" << QString()
            << "\u2716 Sequence scan.toml: the controller rejected the tables (status 0x05); the sequence was not "
               "started."
            << 17;
        QTest::newRow("errors") << "frequency_hz = 500\n[[pattern]]\nimage = 3\npattern = 7\n" << "00"
                                << "The sequence file has errors; nothing was sent.\n\n"
                                   "scan.toml:1:16: frequency_hz = 500 is out of range (1 to 120)\n"
                                   "scan.toml:4:11: pattern[0].pattern = 7 is out of range (0 to 2 at 8 bits)"
                                << QString() << 0;
        QTest::newRow("cancelled") << QString() << "00" << QString() << QString() << 0;
    }

    void sequenceFile()
    {
        QFETCH(QString, toml);
        QFETCH(QString, status);
        QFETCH(QString, prompt);
        QFETCH(QString, line);
        QFETCH(int, packets);
        QTemporaryDir dir;
        if (!toml.isEmpty()) {
            chosenFile = dir.filePath("scan.toml");
            QFile file(chosenFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(toml.toUtf8());
        }
        sim::SetStatusSeries({static_cast<std::uint8_t>(status.toUInt(nullptr, 16))});
        ConnectQuietly();
        QAction* item = QtMenu(dlg->GetSystemMenu())->actions().at(1);
        QCOMPARE(item->text(), QStringLiteral("Project Sequence File..."));

        item->trigger();
        QVERIFY(QTest::qWaitFor([this] { return !dlg->ActionRunning(); }, 10000));

        QCOMPARE(prompts, prompt.isEmpty() ? QStringList() : QStringList{prompt});
        QCOMPARE(Sent().size(), packets);
        QCOMPARE(Status()->text(), line);
        QVERIFY(item->isEnabled());
    }

    void aboutOpensForItsSixteenIdsOnly_data()
    {
        QTest::addColumn<unsigned>("command");
        QTest::addColumn<bool>("opens");
        for (unsigned id = 0x10; id <= 0x1F; ++id) {
            QTest::addRow("0x%04X", id) << id << true;
        }
        QTest::newRow("0x0020") << 0x20u << false;
        QTest::newRow("0x000F") << 0x0Fu << false;
        QTest::newRow("0xF010, move") << 0xF010u << false;
        QTest::newRow("0x1010") << 0x1010u << false;
    }

    void aboutOpensForItsSixteenIdsOnly()
    {
        QFETCH(unsigned, command);
        QFETCH(bool, opens);
        dlg->OnSysCommand(command);
        dlg->OnSysCommand(command);  // and again each time
        QCOMPARE(aboutCaptions, (opens ? QStringList{"About Lumora", "About Lumora"} : QStringList{}));
        QVERIFY(W()->isVisible());
    }

    void aboutMenuItemDispatchesThroughTheSystemCommand()
    {
        QtMenu(dlg->GetSystemMenu())->actions().last()->trigger();
        QCOMPARE(aboutCaptions, QStringList{"About Lumora"});
        QtMenu(dlg->GetSystemMenu())->actions().first()->trigger();  // "&Close"
        QVERIFY(!W()->isVisible());
    }

    void aboutBoxShowsIconVersionAndOk()
    {
        CAboutDlg about(dlg.get());
        Q(about)->show();
        QCOMPARE(Q(about)->windowTitle(), QStringLiteral("About Lumora"));
        const auto* icon = qobject_cast<QLabel*>(QtWidget(about.Controls()[0]));
        const auto* text = qobject_cast<QLabel*>(QtWidget(about.Controls()[1]));
        auto* ok = qobject_cast<QPushButton*>(QtWidget(about.GetDlgItem(IDOK)));
        QVERIFY(icon != nullptr && !icon->pixmap().isNull());
        QCOMPARE(text->text(), QStringLiteral("Lumora, Version 1.0"));
        QVERIFY(ok != nullptr && ok->isDefault());
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(Q(about)->focusWidget(), ok);
        QCOMPARE(Q(about)->minimumSize(), Q(about)->maximumSize());  // fixed frame

        QTest::keyClick(Q(about), Qt::Key_Escape);
        QVERIFY(!Q(about)->isVisible());
        Q(about)->show();
        ok->click();
        QVERIFY(!Q(about)->isVisible());
    }

    void helpButtonShowsTheOperatorHelp()
    {
        Click(ID_HELP);
        QCOMPARE(helpShown, 1);
        QVERIFY(Sent().isEmpty());
        const QString text = QString::fromStdString(OperatorHelpText());
        for (const char* mention : {"Project Full Fringes", "Project From M to N", "Project 1 Picture",
                                    "Project Cross", "ConnectUSB", "USB Connected ?", "START", "PAUSE", "STOP",
                                    "1 to 120", "1 to 31"}) {
            QVERIFY2(text.contains(QString::fromUtf8(mention)), mention);
        }
    }

    // The application runs the dialog modally and returns once it has closed,
    // however it was closed.
    void applicationEndsWhenTheDialogCloses_data()
    {
        QTest::addColumn<int>("closeWith");
        QTest::newRow("OK") << int(IDOK);
        QTest::newRow("Cancel") << int(IDCANCEL);
        QTest::newRow("close command") << 0;
    }

    void moduleSubmenuChoosesWhatConnectUsbOpens()
    {
        sim::SetModuleCount(2);
        // Another program holds the first: a lock of its own on the node.
        const std::unique_ptr<int, void (*)(int*)> held(new int(::open(sim::DefaultModule(0).path.c_str(), O_RDONLY | O_CLOEXEC)),
                                                        [](int* fd) { ::close(*fd); delete fd; });
        QVERIFY(*held >= 0 && ::flock(*held, LOCK_EX | LOCK_NB) == 0);
        const QString heldBy = QStringLiteral("[ ] 1-1   SIM0001   (held by %1 (process %2))").arg(OwnProgramName()).arg(::getpid());
        QCOMPARE(ModuleEntries(), (QStringList{heldBy, "[ ] 1-2   SIM0002   (free)"}));

        // With none checked, ConnectUSB takes the first, which is held.
        Click(IDC_CONNECT_USB);
        QVERIFY(QTest::qWaitFor([this] { return !dlg->ActionRunning(); }, 5000));
        QVERIFY(!Box()->isChecked());

        QtMenu(dlg->ModuleMenu())->actions().at(1)->trigger();
        QCOMPARE(Status()->text(), QStringLiteral("ConnectUSB opens the module at port 1-2."));
        Click(IDC_CONNECT_USB);
        QVERIFY(QTest::qWaitFor([this] { return !dlg->ActionRunning(); }, 5000));
        QVERIFY(Box()->isChecked());
        QCOMPARE(lumora::OpenedModule().serial, std::string("SIM0002"));
        QCOMPARE(ModuleEntries().at(1), QStringLiteral("[x] 1-2   SIM0002   (open here)"));

        // The checked module unplugged stays chosen, so nothing falls back to the held one.
        sim::Unplug(sim::DefaultModule(1).path);
        QCOMPARE(ModuleEntries(), (QStringList{heldBy, "[x] 1-2   (not attached)"}));
        QtMenu(dlg->ModuleMenu())->actions().at(1)->trigger();  // cleared: the first found again
        QCOMPARE(Status()->text(), QStringLiteral("ConnectUSB opens the first module found."));
        QCOMPARE(ModuleEntries().size(), 1);
    }

    void ledCurrentsDialog_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("expectedPrompts");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("set") << QStringList{"10", "20", "30"} << QStringList{}
                             << QStringList{"CmdLedCurrent [0A 14 1E]"};
        QTest::newRow("256 refused") << QStringList{"10", "256", "30"}
                                     << QStringList{"Please enter an integer between 0 and 255."} << QStringList{};
    }

    // The LED dialog checks its fields as the main dialog does; OK sets the currents.
    void ledCurrentsDialog()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, expectedPrompts);
        QFETCH(QStringList, sent);
        ConnectQuietly();
        QStringList initial;
        dlg->hooks.runModal = [&](CDialogEx& box) {
            auto& leds = static_cast<CLedCurrentsDlg&>(box);
            Q(box)->show();
            const int ids[] = {IDC_LED_RED, IDC_LED_GREEN, IDC_LED_BLUE};
            for (int i = 0; i < 3; ++i) {
                auto* edit = qobject_cast<QLineEdit*>(QtWidget(leds.GetDlgItem(ids[i])));
                initial << edit->text();
                edit->setText(typed[i]);
            }
            qobject_cast<QPushButton*>(QtWidget(leds.GetDlgItem(IDOK)))->click();
            if (Q(box)->isVisible()) {
                qobject_cast<QPushButton*>(QtWidget(leds.GetDlgItem(IDCANCEL)))->click();
            }
            return Q(box)->result();
        };
        MenuItem(LedCurrentsCommand)->trigger();
        QVERIFY(QTest::qWaitFor([this] { return !dlg->ActionRunning(); }, 5000));
        QCOMPARE(initial, (QStringList{"120", "120", "120"}));
        QCOMPARE(prompts, expectedPrompts);
        QCOMPARE(Sent(), sent);
        if (!sent.isEmpty()) {
            QCOMPARE(Status()->text(), QStringLiteral("LED currents 10, 20, 30: sent."));
            QCOMPARE(dlg->LedCurrents(), (std::array<int, 3>{10, 20, 30}));
        }
    }

    void disconnectClosesAndReleases()
    {
        Click(IDC_CONNECT_USB);
        QVERIFY(QTest::qWaitFor([this] { return !dlg->ActionRunning(); }, 5000));
        QVERIFY(Box()->isChecked());
        MenuItem(DisconnectCommand)->trigger();
        QCOMPARE(Status()->text(), QStringLiteral("Disconnect: the module at port 1-1 was closed and released."));
        QVERIFY(!Box()->isChecked());
        QCOMPARE(lumora::deviceConnected, 0);
        const int other = ::open(sim::DefaultModule(0).path.c_str(), O_RDONLY | O_CLOEXEC);
        QVERIFY(other >= 0 && ::flock(other, LOCK_EX | LOCK_NB) == 0);  // the lock is free
        ::close(other);
        MenuItem(DisconnectCommand)->trigger();
        QCOMPARE(Status()->text(), QStringLiteral("Disconnect: no module was open."));
    }

    void startAnywayAfterRejectedTables_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("packets");
        QTest::newRow("no") << false << 17;
        QTest::newRow("yes: run again, started anyway") << true << 17 + 29;
    }

    void startAnywayAfterRejectedTables()
    {
        QFETCH(bool, yes);
        QFETCH(int, packets);
        QTemporaryDir dir;
        chosenFile = dir.filePath("scan.toml");
        QFile file(chosenFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("frequency_hz = 60\n[[pattern]]\nimage = 3\npattern = [0, 1]\n");
        file.close();
        sim::SetStatusSeries({0x05});
        ConnectQuietly();
        answer = yes;
        MenuItem(SequenceFileCommand)->trigger();
        QVERIFY(QTest::qWaitFor([this] { return !dlg->ActionRunning(); }, 10000));
        QCOMPARE(questions,
                 QStringList{"The controller rejected the tables (status 0x05). Start the sequence anyway?"});
        QCOMPARE(Sent().size(), packets);
        QVERIFY(Status()->text().endsWith(yes ? "the sequence was started anyway." : "was not started."));
    }

    // The open module unplugged: the box clears and the status line says so
    // within a second, with no action run; nothing opens by itself.
    void unplugShowsAtOnce()
    {
        Click(IDC_CONNECT_USB);
        QVERIFY(QTest::qWaitFor([this] { return !dlg->ActionRunning(); }, 5000));
        QVERIFY(Box()->isChecked());
        QElapsedTimer noticed;
        noticed.start();
        sim::Unplug(sim::DefaultModule(0).path);
        QVERIFY(QTest::qWaitFor([this] { return !Box()->isChecked(); }, 1000));
        qInfo("Unplug to the status line: %lld ms", static_cast<long long>(noticed.elapsed()));
        QCOMPARE(Status()->text(), QStringLiteral("\u2716 The module at port 1-1 was unplugged."));
        QCOMPARE(lumora::deviceConnected, 0);
        QCOMPARE(ModuleEntries(), QStringList{"[ ] No module attached"});
        QTest::qWait(100);
        QVERIFY(!Box()->isChecked());
    }

    // With LUMORA_SCREENSHOTS=DIR, the context menu, its Module submenu and
    // the LED dialog are saved there as PNG files, to look at.
    void screenshotsOfTheMenu()
    {
        const QString dir = qEnvironmentVariable("LUMORA_SCREENSHOTS");
        if (dir.isEmpty()) {
            QSKIP("LUMORA_SCREENSHOTS is not set");
        }
        sim::SetModuleCount(2);
        ConnectQuietly();
        ModuleEntries();
        QMenu* menu = QtMenu(dlg->GetSystemMenu());
        menu->popup(W()->mapToGlobal(QPoint(20, 20)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QVERIFY(menu->grab().save(dir + "/context-menu.png"));
        QtMenu(dlg->ModuleMenu())->popup(menu->geometry().topRight());
        QVERIFY(QTest::qWaitForWindowExposed(QtMenu(dlg->ModuleMenu())));
        QVERIFY(QtMenu(dlg->ModuleMenu())->grab().save(dir + "/module-menu.png"));
        menu->hide();
        CLedCurrentsDlg leds(dlg.get());
        leds.red = leds.green = leds.blue = 120;
        Q(leds)->show();
        QVERIFY(QTest::qWaitForWindowExposed(Q(leds)));
        QVERIFY(Q(leds)->grab().save(dir + "/led-currents.png"));
    }

    void applicationEndsWhenTheDialogCloses()
    {
        QFETCH(int, closeWith);
        dlg.reset();
        bool sawDialog = false;
        QTimer::singleShot(0, [&] {
            auto* running = dynamic_cast<CLumoraDlg*>(DialogOf(QApplication::activeModalWidget()));
            sawDialog = running != nullptr;
            if (running == nullptr) {
                return;
            }
            if (closeWith != 0) {
                qobject_cast<QPushButton*>(QtWidget(running->GetDlgItem(closeWith)))->click();
            } else {
                running->OnSysCommand(SC_CLOSE);
            }
        });
        CLumoraApp app;
        QCOMPARE(app.InitInstance(), false);
        QVERIFY(sawDialog);
    }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
