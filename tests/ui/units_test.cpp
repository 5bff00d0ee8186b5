// The pure parts of the operator interface: the field parser, the dialog-unit
// conversion and the minimised icon's place.
#include "ui/data_exchange.h"
#include "ui/dialog_template.h"
#include "ui/lumora_dlg.h"

#include <QTest>

using namespace lumora::ui;

Q_DECLARE_METATYPE(lumora::ui::IntegerText)

class UnitsTest : public QObject {
    Q_OBJECT

private slots:
    void parseInteger_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<IntegerText>("result");
        QTest::addColumn<int>("value");

        const auto valid = [](const char* name, const char* text, int value) {
            QTest::newRow(name) << QByteArray(text) << IntegerText::Valid << value;
        };
        const auto notInteger = [](const char* name, const QByteArray& text) {
            QTest::newRow(name) << text << IntegerText::NotInteger << 0;
        };
        const auto outOfRange = [](const char* name, const char* text) {
            QTest::newRow(name) << QByteArray(text) << IntegerText::OutOfRange << 0;
        };

        valid("zero", "0", 0);
        valid("minus zero", "-0", 0);
        valid("plus sign", "+5", 5);
        valid("minus sign", "-17", -17);
        valid("spaces around", " 15 ", 15);
        valid("tabs around", "\t7\t", 7);
        valid("leading zeros", "0007", 7);
        valid("int32 max", "2147483647", 2147483647);
        valid("int32 min", "-2147483648", -2147483647 - 1);
        valid("zeros before int32 max", "000000000002147483647", 2147483647);

        notInteger("empty", "");
        notInteger("blanks only", "  \t ");
        notInteger("sign only", "+");
        notInteger("two signs", "+-5");
        notInteger("blank after sign", "- 5");
        notInteger("blank inside", "5 5");
        notInteger("letters", "abc");
        notInteger("trailing letters", "12abc");
        notInteger("hex", "0x10");
        notInteger("exponent", "1e3");
        notInteger("decimal point", "1.0");
        notInteger("newline is not a blank", "\n5");
        notInteger("embedded nul", QByteArray("5\0", 2));
        notInteger("non-ASCII digit", "\xD9\xA3");  // ARABIC-INDIC DIGIT THREE
        notInteger("too long and trailing junk", "99999999999999999999x");

        outOfRange("int32 max + 1", "2147483648");
        outOfRange("int32 min - 1", "-2147483649");
        outOfRange("wraps to 1 in 32 bits", "4294967297");
        outOfRange("wraps to 5 in 64 bits", "18446744073709551621");
        outOfRange("many digits", "123456789012345678901234567890");
        outOfRange("blanks and sign around a large one", " +3000000000\t");
    }

    void parseInteger()
    {
        QFETCH(QByteArray, text);
        QFETCH(IntegerText, result);
        QFETCH(int, value);
        const ParsedInteger parsed = ParseInteger(std::string_view(text.constData(), text.size()));
        QCOMPARE(parsed.result, result);
        QCOMPARE(parsed.value, value);
    }

    void prompts()
    {
        QCOMPARE(IntegerPrompt(), std::string("Please enter an integer."));
        QCOMPARE(RangePrompt(1, 120), std::string("Please enter an integer between 1 and 120."));
        QCOMPARE(RangePrompt(-5, 31), std::string("Please enter an integer between -5 and 31."));
    }

    void dialogUnitsToPixels_data()
    {
        QTest::addColumn<int>("baseX");
        QTest::addColumn<int>("baseY");
        QTest::addColumn<QRect>("units");
        QTest::addColumn<QRect>("pixels");

        // 6 x 13 is the classic 8-point dialog font at 96 dpi.
        QTest::newRow("OK at 6x13") << 6 << 13 << QRect(209, 183, 50, 14) << QRect(314, 297, 75, 23);
        QTest::newRow("main dialog at 6x13") << 6 << 13 << QRect(0, 0, 375, 204) << QRect(0, 0, 563, 332);
        QTest::newRow("OK at 7x14") << 7 << 14 << QRect(209, 183, 50, 14) << QRect(366, 320, 88, 25);
        QTest::newRow("label at 7x14") << 7 << 14 << QRect(113, 15, 35, 8) << QRect(198, 26, 61, 14);
    }

    void dialogUnitsToPixels()
    {
        QFETCH(int, baseX);
        QFETCH(int, baseY);
        QFETCH(QRect, units);
        QFETCH(QRect, pixels);
        const PixelRect at =
            DialogUnitsToPixels({units.x(), units.y(), units.width(), units.height()}, {baseX, baseY});
        QCOMPARE(QRect(at.x, at.y, at.width, at.height), pixels);
    }

    void baseUnitsAverageTheFiftyTwoLetters()
    {
        QCOMPARE(BaseUnitsFromMetrics(312, 13).horizontal, 6);   // exactly 6
        QCOMPARE(BaseUnitsFromMetrics(337, 13).horizontal, 6);   // 6.48
        QCOMPARE(BaseUnitsFromMetrics(338, 13).horizontal, 7);   // 6.5 rounds up
        QCOMPARE(BaseUnitsFromMetrics(338, 15).vertical, 15);
    }

    void iconOriginTruncatesTowardZero_data()
    {
        QTest::addColumn<int>("client");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("origin");
        QTest::newRow("36, 32") << 36 << 32 << 2;
        QTest::newRow("0, 32: -31 / 2") << 0 << 32 << -15;
        QTest::newRow("1, 32: -30 / 2") << 1 << 32 << -15;
        QTest::newRow("odd difference rounds up") << 33 << 32 << 1;
        QTest::newRow("equal") << 32 << 32 << 0;
    }

    void iconOriginTruncatesTowardZero()
    {
        QFETCH(int, client);
        QFETCH(int, icon);
        QFETCH(int, origin);
        QCOMPARE(IconOrigin(client, icon), origin);
    }
};

QTEST_APPLESS_MAIN(UnitsTest)
#include "units_test.moc"
