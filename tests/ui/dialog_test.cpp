// The operator dialog, the About box and the application shell, driven as the
// operator drives them, against the simulated controller. Prompts, the About
// box and the help are caught by the dialog's hooks instead of blocking.
#include "connection/connection.h"
#include "link/link.h"
#include "patterns/presets.h"
#include "sim/sim_controller.h"
#include "ui/about_dlg.h"
#include "ui/help.h"
#include "ui/lumora_app.h"
#include "ui/lumora_dlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

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

const int kFieldIds[] = {IDC_FREQUENCY, IDC_PICTURE, IDC_PICTURE_M, IDC_PICTURE_N};

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CLumoraDlg> dlg;
    QStringList prompts;
    QList<QDialog*> aboutBoxes;  // as the About hook saw them, valid only inside it
    QStringList aboutCaptions;
    int helpShown = 0;

    QPushButton* Button(int id) { return qobject_cast<QPushButton*>(dlg->GetDlgItem(id)); }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(dlg->GetDlgItem(id)); }
    QCheckBox* Box() { return qobject_cast<QCheckBox*>(dlg->GetDlgItem(IDC_USB_CONNECTED)); }
    void Click(int id) { Button(id)->click(); }

    void Type(int id, const QString& text) { Edit(id)->setText(text); }
    QStringList Fields()
    {
        QStringList texts;
        for (int id : kFieldIds) {
            texts << Edit(id)->text();
        }
        return texts;
    }

    void ConnectQuietly()
    {
        QVERIFY(lumora::ConnectDevice());
        sim::ClearRecords();
    }

private slots:
    void init()
    {
        lumora::deviceHandle = nullptr;
        lumora::deviceConnected = 0;
        sim::Reset();
        lumora::SetPauseFunction([](int) {});
        prompts.clear();
        aboutCaptions.clear();
        helpShown = 0;

        dlg = std::make_unique<CLumoraDlg>();
        dlg->hooks.prompt = [this](QWidget* parent, const QString& text) {
            QCOMPARE(parent, dlg.get());
            prompts << text;
        };
        dlg->hooks.runModal = [this](QDialog& box) {
            aboutCaptions << box.windowTitle();
            [&] { QCOMPARE(box.parentWidget(), dlg.get()); }();
            return 0;
        };
        dlg->hooks.help = [this](QWidget* parent) {
            QCOMPARE(parent, dlg.get());
            ++helpShown;
        };
        dlg->show();
    }

    void cleanup()
    {
        dlg.reset();
        lumora::SetPauseFunction(nullptr);
        QVERIFY(sim::Violations().empty());
        QVERIFY(QApplication::overrideCursor() == nullptr);  // every busy cursor was taken down
    }

    void startUpState()
    {
        // Constructing the dialog released the HID library once and sent nothing.
        QCOMPARE(CallNames(), QStringList{"hid_exit"});
        QCOMPARE(lumora::deviceConnected, 0);

        QCOMPARE(dlg->windowTitle(), QStringLiteral("Lumora"));
        QCOMPARE(Fields(), (QStringList{"10", "12", "10", "20"}));
        QVERIFY(!Box()->isChecked());
        QCOMPARE(dlg->focusWidget(), Button(IDOK));
        QVERIFY(Button(IDOK)->isDefault());
        QVERIFY(!dlg->windowIcon().isNull());
        QVERIFY(!(dlg->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

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
        const QList<QAction*> items = dlg->GetSystemMenu()->actions();
        QVERIFY(items.size() >= 2);
        QVERIFY(items[items.size() - 2]->isSeparator());
        QCOMPARE(items.last()->text(), QStringLiteral("&About Lumora..."));
        QCOMPARE(items.last()->data().toUInt(), AboutCommand);
    }

    void controlsSitAtTheirTemplatePlacesAndStayThereWhenResized()
    {
        const BaseUnits units = dlg->DialogBaseUnits();
        const auto expected = [&](const ControlTemplate& control) {
            const PixelRect at = DialogUnitsToPixels(control.rect, units);
            return QRect(at.x, at.y, at.width, at.height);
        };
        for (int round = 0; round < 2; ++round) {
            const auto& controls = dlg->Template().controls;
            QCOMPARE(dlg->Controls().size(), controls.size());
            for (std::size_t i = 0; i < controls.size(); ++i) {
                QCOMPARE(dlg->Controls()[i]->geometry(), expected(controls[i]));
                if (controls[i].id != IDC_STATIC && controls[i].kind != ControlKind::Edit) {
                    QCOMPARE(qobject_cast<QAbstractButton*>(dlg->Controls()[i])->text(),
                             QString::fromUtf8(controls[i].caption));
                }
            }
            dlg->resize(dlg->width() + 150, dlg->height() + 90);
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

        const QString integer = IntegerPrompt();
        const QString frequency = RangePrompt(1, 120);
        const QString picture = RangePrompt(1, 31);

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
            QCOMPARE(dlg->focusWidget(), Edit(field));
            QCOMPARE(Edit(field)->selectedText(), text);
        }
    }

    void firstFailureEndsTheExchange()
    {
        Type(IDC_FREQUENCY, "x");
        Type(IDC_PICTURE, "5");
        Type(IDC_PICTURE_N, "99");
        Click(IDC_PROJECT_ONE_PICTURE);
        QCOMPARE(prompts, QStringList{IntegerPrompt()});
        QCOMPARE(dlg->picture, 12);  // the fields after the failing one were not read
        QCOMPARE(dlg->focusWidget(), Edit(IDC_FREQUENCY));
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
        QCOMPARE(dlg->focusWidget(), Edit(IDC_PICTURE_M));
        QCOMPARE(Fields(), (QStringList{"10", "12", "21", "20"}));
    }

    // The buttons that read no field run whatever the fields hold.
    void actionsWithoutFieldsIgnoreInvalidFields_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("first");  // first packet or, with none, last hidapi call
        QTest::addColumn<int>("packets");

        QTest::newRow("Project Cross") << int(IDC_PROJECT_CROSS) << "CmdPatternSource [03]" << 16;
        QTest::newRow("ConnectUSB") << int(IDC_CONNECT_USB) << "hid_open" << 0;
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

    void theBoxIsNoLiveIndicator()
    {
        Click(IDC_CONNECT_USB);
        sim::SetModuleCount(0);
        Click(IDC_START);  // reopens and fails
        QCOMPARE(lumora::deviceConnected, 0);
        QVERIFY(Box()->isChecked());
    }

    void clickingTheBoxTogglesItAndTheNextExchangeCopiesIt()
    {
        sim::ClearRecords();
        QTest::mouseClick(Box(), Qt::LeftButton);
        QVERIFY(Box()->isChecked());
        QCOMPARE(dlg->usbConnected, 0);
        QVERIFY(sim::Calls().empty());
        QVERIFY(dlg->UpdateData(true));
        QCOMPARE(dlg->usbConnected, 1);
    }

    // How the dialog ends, and what it checks on the way.
    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("promptCount");

        QTest::newRow("OK, valid") << "ok" << "10" << true << int(QDialog::Accepted) << 0;
        QTest::newRow("OK, invalid") << "ok" << "0" << false << 0 << 1;
        QTest::newRow("Enter in a field, valid") << "enter" << "10" << true << int(QDialog::Accepted) << 0;
        QTest::newRow("Enter in a field, invalid") << "enter" << "x" << false << 0 << 1;
        QTest::newRow("Cancel, invalid") << "cancel" << "x" << true << int(QDialog::Rejected) << 0;
        QTest::newRow("Escape, invalid") << "escape" << "x" << true << int(QDialog::Rejected) << 0;
        QTest::newRow("close command, invalid") << "close" << "x" << true << int(QDialog::Rejected) << 0;
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

        QCOMPARE(dlg->isVisible(), !closed);
        if (closed) {
            QCOMPARE(dlg->result(), result);
        }
        QCOMPARE(prompts.size(), promptCount);
        QVERIFY(Sent().isEmpty());
        QCOMPARE(sim::OpenHandleCount(), 1);  // closing leaves the link alone
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
        QVERIFY(dlg->isVisible());
    }

    void aboutMenuItemDispatchesThroughTheSystemCommand()
    {
        dlg->GetSystemMenu()->actions().last()->trigger();
        QCOMPARE(aboutCaptions, QStringList{"About Lumora"});
        dlg->GetSystemMenu()->actions().first()->trigger();  // "&Close"
        QVERIFY(!dlg->isVisible());
    }

    void aboutBoxShowsIconVersionAndOk()
    {
        CAboutDlg about(dlg.get());
        about.show();
        QCOMPARE(about.windowTitle(), QStringLiteral("About Lumora"));
        const auto* icon = qobject_cast<QLabel*>(about.Controls()[0]);
        const auto* text = qobject_cast<QLabel*>(about.Controls()[1]);
        auto* ok = qobject_cast<QPushButton*>(about.GetDlgItem(IDOK));
        QVERIFY(icon != nullptr && !icon->pixmap().isNull());
        QCOMPARE(text->text(), QStringLiteral("Lumora, Version 1.0"));
        QVERIFY(ok != nullptr && ok->isDefault());
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(about.focusWidget(), ok);
        QCOMPARE(about.minimumSize(), about.maximumSize());  // fixed frame

        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(!about.isVisible());
        about.show();
        ok->click();
        QVERIFY(!about.isVisible());
    }

    void helpButtonShowsTheOperatorHelp()
    {
        Click(ID_HELP);
        QCOMPARE(helpShown, 1);
        QVERIFY(Sent().isEmpty());
        const QString text = OperatorHelpText();
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

    void applicationEndsWhenTheDialogCloses()
    {
        QFETCH(int, closeWith);
        dlg.reset();
        bool sawDialog = false;
        QTimer::singleShot(0, [&] {
            auto* running = qobject_cast<CLumoraDlg*>(QApplication::activeModalWidget());
            sawDialog = running != nullptr;
            if (running == nullptr) {
                return;
            }
            if (closeWith != 0) {
                qobject_cast<QPushButton*>(running->GetDlgItem(closeWith))->click();
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
