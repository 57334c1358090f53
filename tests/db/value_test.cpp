#include "db/value.h"

#include <gmock/gmock.h>

#include <functional>

namespace hc::db {
namespace {

QDateTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms));
}

TEST(ValueText, NumbersBooleansAndDecimalsInPlainForm)
{
    const std::vector<std::pair<Value, QString>> cases = {
        {Value(42), "42"},
        {Value(qint64{-9000000000}), "-9000000000"},
        {Value(2.5), "2.5"},
        {Value(0.1 + 0.2), "0.3"},
        {Value(-0.0), "0"},
        {Value(1e16), "1E+16"},
        {Value(0.00001), "1E-05"},
        {Value(Value::Decimal{"12.50"}), "12.5"},
        {Value(Value::Decimal{"100.00"}), "100"},
        {Value(Value::Decimal{"-0.00"}), "0"},
        {Value(Value::Decimal{".5"}), "0.5"},
        {Value(true), "True"},
        {Value(false), "False"},
        {Value(QStringLiteral(" Müller ")), " Müller "},
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(value.toText(), text) << text.toStdString();
}

TEST(ValueText, DatesInTheGeneralFormOfAUsWorkstation)
{
    const std::vector<std::pair<QDateTime, QString>> cases = {
        {at(2024, 3, 5), "3/5/2024"},
        {at(2024, 3, 5, 14, 7, 9), "3/5/2024 2:07:09 PM"},
        {at(2024, 12, 25, 0, 0, 5), "12/25/2024 12:00:05 AM"},
        {at(2024, 12, 25, 12, 30), "12/25/2024 12:30:00 PM"},
        {at(2024, 12, 25, 0, 0, 0, 400), "12/25/2024"},
        {at(1899, 12, 30, 9, 5), "9:05:00 AM"},
        {at(1899, 12, 30), "12:00:00 AM"},
    };
    for (const auto &[moment, text] : cases)
        EXPECT_EQ(Value(moment).toText(), text) << text.toStdString();
}

TEST(ValueText, NullRaises)
{
    EXPECT_THROW(Value().toText(), Failure);
}

TEST(ValueInt16, RoundsHalvesToEvenAndRaisesOutOfRange)
{
    const std::vector<std::pair<Value, qint16>> converted = {
        {Value(2.5), 2},
        {Value(3.5), 4},
        {Value(-2.5), -2},
        {Value(-3.5), -4},
        {Value(2.51), 3},
        {Value(32767), 32767},
        {Value(-32768.5), -32768},
        {Value(" 12 "), 12},
        {Value("12.5"), 12},
        {Value("13.5"), 14},
        {Value("-1e2"), -100},
        {Value(Value::Decimal{"100.50"}), 100},
        {Value(true), -1},
    };
    for (const auto &[value, number] : converted)
        EXPECT_EQ(value.toInt16(), number) << value.toText().toStdString();

    const std::vector<Value> raising = {Value(32767.5), Value(32768), Value(-32769), Value(qint64{1} << 40),
                                        Value("40000"), Value("abc"), Value(""), Value("  "), Value(),
                                        Value(at(2024, 1, 1))};
    for (const Value &value : raising)
        EXPECT_THROW(value.toInt16(), Failure) << (value.isNull() ? "Null" : value.toText().toStdString());
}

TEST(ValueInt32, KeepsLargeIntegersExactAndRaisesBeyond)
{
    EXPECT_EQ(Value(qint64{2147483647}).toInt32(), 2147483647);
    EXPECT_EQ(Value("-2147483648").toInt32(), std::numeric_limits<qint32>::min());
    EXPECT_THROW(Value(qint64{2147483648}).toInt32(), Failure);
}

TEST(ValueNumeric, NumbersAndTextThatReadsAsOneAfterTrimming)
{
    const std::vector<std::pair<Value, bool>> cases = {
        {Value(5), true},
        {Value(2.5), true},
        {Value(Value::Decimal{"1.25"}), true},
        {Value(" 12 "), true},
        {Value("\t-3.5e2 "), true},
        {Value("+.5"), true},
        {Value("7."), true},
        {Value(""), false},
        {Value("   "), false},
        {Value("1 2"), false},
        {Value("12abc"), false},
        {Value("."), false},
        {Value("1e"), false},
        {Value("inf"), false},
        {Value("nan"), false},
        {Value("0x10"), false},
        {Value(), false},
        {Value(at(2024, 1, 1)), false},
    };
    for (const auto &[value, numeric] : cases)
        EXPECT_EQ(value.isNumeric(), numeric) << (value.isNull() ? "Null" : value.toText().toStdString());
}

TEST(ValueDateTime, ReadsTheUsFormsAndIso)
{
    const std::vector<std::pair<QString, QDateTime>> cases = {
        {"3/5/2024", at(2024, 3, 5)},
        {" 3/5/2024 2:07:09 PM ", at(2024, 3, 5, 14, 7, 9)},
        {"03/05/2024 2:07 pm", at(2024, 3, 5, 14, 7)},
        {"12/31/2023 12:00:00 AM", at(2023, 12, 31)},
        {"12/31/2023 12:00 PM", at(2023, 12, 31, 12)},
        {"12/31/2023 23:59", at(2023, 12, 31, 23, 59)},
        {"1/2/24", at(2024, 1, 2)},
        {"1/2/95", at(1995, 1, 2)},
        {"2024-03-05 14:07:09", at(2024, 3, 5, 14, 7, 9)},
        {"2024-03-05T14:07:09.123", at(2024, 3, 5, 14, 7, 9, 123)},
        {"2024-03-05", at(2024, 3, 5)},
        {"14:07", at(1899, 12, 30, 14, 7)},
        {"2:07:09 AM", at(1899, 12, 30, 2, 7, 9)},
    };
    for (const auto &[text, moment] : cases)
        EXPECT_EQ(Value(text).toDateTime(), moment) << text.toStdString();

    const QStringList raising = {"2/30/2024", "13/1/2024", "3/5/2024 13:00 PM", "3/5/2024 0:00 AM",
                                 "3/5/2024 10:60", "2024-3-5", "3/5", "hello", ""};
    for (const QString &text : raising)
        EXPECT_THROW(Value(text).toDateTime(), Failure) << text.toStdString();
    EXPECT_THROW(Value().toDateTime(), Failure);
    EXPECT_THROW(Value(5).toDateTime(), Failure);
}

TEST(ValueDateTime, GeneralFormReadsBackAsTheSameMoment)
{
    for (const QDateTime &moment : {at(2024, 3, 5), at(2024, 11, 30, 23, 59, 59), at(2000, 2, 29, 12, 0, 1)})
        EXPECT_EQ(Value(Value(moment).toText()).toDateTime(), moment);
}

} // namespace
} // namespace hc::db
