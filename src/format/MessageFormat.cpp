#include "format/MessageFormat.h"

#include <vector>

#include "base/Exception.h"
#include "format/NumberFormat.h"

namespace quarvel {
namespace {

constexpr int kDefaultPrecision = 15;
constexpr int kMaxPrecision = 18;

[[noreturn]] void BadFormat(std::string_view format) {
  throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string Format(std::string_view format, std::initializer_list<MessageArg> args,
                   const std::string_view* decimalSeparator) {
  const std::vector<MessageArg> values(args);
  std::size_t next = 0;
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    if (++i >= format.size()) BadFormat(format);
    if (format[i] == '%') {
      out += '%';
      continue;
    }
    int precision = -1;
    if (format[i] == '.') {
      precision = 0;
      while (++i < format.size() && format[i] >= '0' && format[i] <= '9')
        precision = std::min(precision * 10 + (format[i] - '0'), 1000);
      if (i >= format.size()) BadFormat(format);
    }
    if (next >= values.size()) BadFormat(format);
    const MessageArg& arg = values[next++];
    switch (format[i]) {
      case 'd':
        if (!std::holds_alternative<int64_t>(arg)) BadFormat(format);
        out += std::to_string(std::get<int64_t>(arg));
        break;
      case 's':
        if (!std::holds_alternative<std::string>(arg)) BadFormat(format);
        out += std::get<std::string>(arg);
        break;
      case 'g': {
        if (!std::holds_alternative<long double>(arg)) BadFormat(format);
        if (precision < 0 || precision > kMaxPrecision) precision = kDefaultPrecision;
        out += decimalSeparator
                   ? FormatGeneral(std::get<long double>(arg), precision, *decimalSeparator)
                   : FormatGeneral(std::get<long double>(arg), precision);
        break;
      }
      default:
        BadFormat(format);
    }
  }
  return out;
}

}  // namespace

std::string FormatMessage(std::string_view format, std::initializer_list<MessageArg> args) {
  return Format(format, args, nullptr);
}

std::string FormatFixedMessage(std::string_view format, std::initializer_list<MessageArg> args) {
  constexpr std::string_view kPoint = ".";
  return Format(format, args, &kPoint);
}

}  // namespace quarvel
