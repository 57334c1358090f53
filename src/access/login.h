#pragma once

#include <QString>

namespace hc::access {

// Operators whose rights value is at most this are admitted.
inline constexpr qint16 kHighestAdmittedRights = 200;

inline constexpr const char *kUnknownPasswordText = "Invalid code....access denied";
inline constexpr const char *kInsufficientRightsText = "User does not have sufficient rights";

// The password goes in without its leading and trailing blanks.
QString loginStatement(const QString &password);

} // namespace hc::access
