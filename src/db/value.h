#pragma once

#include "db/failure.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <variant>

namespace hc::db {

// A database or control value that may be Null, a number, text or a
// date-time. The conversions are those the service relies on; each raises
// hc::Failure where the value cannot be converted.
class Value {
public:
    struct Null {
        bool operator==(const Null &) const = default;
    };
    // An exact decimal from the database, kept as its decimal text ("12.50").
    struct Decimal {
        QString digits;
        bool operator==(const Decimal &) const = default;
    };

    Value() = default; // Null
    Value(int number) : data_(qint64{number}) {}
    Value(qint64 number) : data_(number) {}
    Value(double number) : data_(number) {}
    Value(bool flag) : data_(flag) {}
    Value(Decimal decimal) : data_(std::move(decimal)) {}
    Value(QString text) : data_(std::move(text)) {}
    Value(const char *text) : data_(QString::fromUtf8(text)) {}
    Value(QDateTime moment) : data_(std::move(moment)) {}

    bool isNull() const { return std::holds_alternative<Null>(data_); }
    bool isText() const { return std::holds_alternative<QString>(data_); }
    bool isDateTime() const { return std::holds_alternative<QDateTime>(data_); }
    // A number, or text that reads as one after trimming blanks.
    bool isNumeric() const;

    // Numbers in plain decimal; dates in the general date form of a US
    // workstation: "M/D/YYYY" at midnight, else "M/D/YYYY h:mm:ss AM"
    // (the time alone on the zero date). Booleans as "True" / "False".
    // Null raises.
    QString toText() const;
    // Signed 16-bit, halves rounded to even; Null, text that is not numeric
    // and values out of range raise. True is -1, False 0.
    qint16 toInt16() const;
    qint32 toInt32() const;
    double toDouble() const;
    // Date-times as they are; text in the forms a US workstation reads
    // ("M/D/YYYY", "M/D/YYYY h:mm[:ss] [AM|PM]", "YYYY-MM-DD[ hh:mm[:ss]]",
    // a time of day alone on the zero date); anything else raises.
    QDateTime toDateTime() const;

    bool operator==(const Value &) const = default;

private:
    std::variant<Null, qint64, double, bool, Decimal, QString, QDateTime> data_;
};

// The date that a time of day without a date stands on.
QDate zeroDate();

// The general date form of a US workstation.
QString generalDateText(const QDateTime &moment);

// Text to date-time in the forms a US workstation reads; nullopt when the
// text is none of them.
std::optional<QDateTime> parseUsDateTime(const QString &text);

} // namespace hc::db
