#include "db/value.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace hc::db {

namespace {

[[noreturn]] void raiseTypeMismatch()
{
    throw Failure("Type mismatch");
}

[[noreturn]] void raiseInvalidNull()
{
    throw Failure("Invalid use of Null");
}

[[noreturn]] void raiseOverflow()
{
    throw Failure("Overflow");
}

// Sign, digits with at most one decimal point, an optional exponent.
bool isNumberText(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool digits = false;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        bool exponentDigits = false;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
            ++i;
            exponentDigits = true;
        }
        if (!exponentDigits)
            return false;
    }
    return i == n;
}

std::optional<double> numberFromText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (!isNumberText(trimmed))
        return std::nullopt;
    bool ok = false;
    const double number = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

double roundHalfToEven(double number)
{
    const double below = std::floor(number);
    const double fraction = number - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

template <typename Integer>
Integer checkedInteger(double number)
{
    if (!std::isfinite(number))
        raiseOverflow();
    const double rounded = roundHalfToEven(number);
    if (rounded < double(std::numeric_limits<Integer>::min()) || rounded > double(std::numeric_limits<Integer>::max()))
        raiseOverflow();
    return Integer(rounded);
}

template <typename Integer>
Integer checkedInteger(qint64 number)
{
    if (number < std::numeric_limits<Integer>::min() || number > std::numeric_limits<Integer>::max())
        raiseOverflow();
    return Integer(number);
}

// Decimal text without trailing fraction zeros, as a variant decimal prints.
QString plainDecimal(QString digits)
{
    if (digits.contains(u'.')) {
        while (digits.endsWith(u'0'))
            digits.chop(1);
        if (digits.endsWith(u'.'))
            digits.chop(1);
    }
    if (digits.startsWith(u'.'))
        digits.prepend(u'0');
    else if (digits.startsWith(QLatin1String("-.")))
        digits.insert(1, u'0');
    if (digits.isEmpty() || digits == QLatin1String("-0") || digits == QLatin1String("-"))
        return QStringLiteral("0");
    return digits;
}

QString doubleText(double number)
{
    if (number == 0)
        return QStringLiteral("0");
    QString text = QString::number(number, 'g', 15);
    const qsizetype exponent = text.indexOf(u'e');
    if (exponent >= 0)
        text[exponent] = u'E';
    return text;
}

QString timeText(const QTime &time)
{
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return QStringLiteral("%1:%2:%3 %4")
        .arg(hour12)
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'))
        .arg(time.hour() < 12 ? QLatin1String("AM") : QLatin1String("PM"));
}

// Hours of a 12-hour clock with its AM/PM marker, to 0..23.
std::optional<int> hourOfDay(int hour, QStringView marker)
{
    if (marker.isEmpty())
        return hour <= 23 ? std::optional<int>(hour) : std::nullopt;
    if (hour < 1 || hour > 12)
        return std::nullopt;
    const bool afternoon = marker.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
    return hour % 12 + (afternoon ? 12 : 0);
}

std::optional<QTime> timeFrom(const QRegularExpressionMatch &match)
{
    if (!match.hasCaptured(u"hour"))
        return QTime(0, 0);
    const auto hour = hourOfDay(match.captured(u"hour").toInt(), match.capturedView(u"marker"));
    if (!hour)
        return std::nullopt;
    const int minute = match.captured(u"minute").toInt();
    const int second = match.hasCaptured(u"second") ? match.captured(u"second").toInt() : 0;
    int millisecond = 0;
    if (match.hasCaptured(u"fraction"))
        millisecond = (match.captured(u"fraction") + QStringLiteral("00")).left(3).toInt();
    QTime time(*hour, minute, second, millisecond);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

} // namespace

QDate zeroDate()
{
    return QDate(1899, 12, 30);
}

QString generalDateText(const QDateTime &moment)
{
    const QDate date = moment.date();
    const QTime time = moment.time();
    if (date == zeroDate())
        return timeText(time);
    const QString dateText = QStringLiteral("%1/%2/%3").arg(date.month()).arg(date.day()).arg(date.year());
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return dateText;
    return dateText + u' ' + timeText(time);
}

std::optional<QDateTime> parseUsDateTime(const QString &text)
{
    static const QString timePart = QStringLiteral(
        R"((?<hour>\d{1,2}):(?<minute>\d{2})(?::(?<second>\d{2})(?:\.(?<fraction>\d{1,7}))?)?(?:\s*(?<marker>[AaPp][Mm]))?)");
    static const QRegularExpression usForm(QStringLiteral(R"(^(?<month>\d{1,2})/(?<day>\d{1,2})/(?<year>\d{4}|\d{2})(?:\s+%1)?$)").arg(timePart));
    static const QRegularExpression isoForm(
        QStringLiteral(R"(^(?<year>\d{4})-(?<month>\d{2})-(?<day>\d{2})(?:[ T](?<hour>\d{2}):(?<minute>\d{2})(?::(?<second>\d{2})(?:\.(?<fraction>\d{1,7}))?)?)?$)"));
    static const QRegularExpression timeAlone(QStringLiteral("^%1$").arg(timePart));

    const QString trimmed = text.trimmed();
    QRegularExpressionMatch match = usForm.match(trimmed);
    if (!match.hasMatch())
        match = isoForm.match(trimmed);
    if (match.hasMatch()) {
        int year = match.captured(u"year").toInt();
        if (match.capturedLength(u"year") == 2)
            year += year < 30 ? 2000 : 1900;
        const QDate date(year, match.captured(u"month").toInt(), match.captured(u"day").toInt());
        const auto time = timeFrom(match);
        if (!date.isValid() || !time)
            return std::nullopt;
        return QDateTime(date, *time);
    }
    match = timeAlone.match(trimmed);
    if (match.hasMatch()) {
        if (const auto time = timeFrom(match))
            return QDateTime(zeroDate(), *time);
    }
    return std::nullopt;
}

bool Value::isNumeric() const
{
    return std::visit(
        [](const auto &data) {
            using T = std::decay_t<decltype(data)>;
            if constexpr (std::is_same_v<T, QString>)
                return numberFromText(data).has_value();
            else
                return std::is_same_v<T, qint64> || std::is_same_v<T, double> || std::is_same_v<T, bool> ||
                       std::is_same_v<T, Decimal>;
        },
        data_);
}

QString Value::toText() const
{
    return std::visit(
        [](const auto &data) -> QString {
            using T = std::decay_t<decltype(data)>;
            if constexpr (std::is_same_v<T, Null>)
                raiseInvalidNull();
            else if constexpr (std::is_same_v<T, qint64>)
                return QString::number(data);
            else if constexpr (std::is_same_v<T, double>)
                return doubleText(data);
            else if constexpr (std::is_same_v<T, bool>)
                return data ? QStringLiteral("True") : QStringLiteral("False");
            else if constexpr (std::is_same_v<T, Decimal>)
                return plainDecimal(data.digits);
            else if constexpr (std::is_same_v<T, QString>)
                return data;
            else
                return generalDateText(data);
        },
        data_);
}

double Value::toDouble() const
{
    return std::visit(
        [](const auto &data) -> double {
            using T = std::decay_t<decltype(data)>;
            if constexpr (std::is_same_v<T, Null>)
                raiseInvalidNull();
            else if constexpr (std::is_same_v<T, qint64>)
                return double(data);
            else if constexpr (std::is_same_v<T, double>)
                return data;
            else if constexpr (std::is_same_v<T, bool>)
                return data ? -1.0 : 0.0;
            else if constexpr (std::is_same_v<T, Decimal> || std::is_same_v<T, QString>) {
                const QString *text = nullptr;
                if constexpr (std::is_same_v<T, Decimal>)
                    text = &data.digits;
                else
                    text = &data;
                if (const auto number = numberFromText(*text))
                    return *number;
                raiseTypeMismatch();
            } else
                raiseTypeMismatch();
        },
        data_);
}

qint16 Value::toInt16() const
{
    if (const auto *integer = std::get_if<qint64>(&data_))
        return checkedInteger<qint16>(*integer);
    return checkedInteger<qint16>(toDouble());
}

qint32 Value::toInt32() const
{
    if (const auto *integer = std::get_if<qint64>(&data_))
        return checkedInteger<qint32>(*integer);
    return checkedInteger<qint32>(toDouble());
}

QDateTime Value::toDateTime() const
{
    if (isNull())
        raiseInvalidNull();
    if (const auto *moment = std::get_if<QDateTime>(&data_))
        return *moment;
    if (const auto *text = std::get_if<QString>(&data_)) {
        if (auto moment = parseUsDateTime(*text))
            return *std::move(moment);
    }
    raiseTypeMismatch();
}

} // namespace hc::db
