#pragma once
// Message texts with arguments, as the run-time library builds them for errors:
// "%d" writes an integer, "%s" a text, "%g" a number in the general form of
// FormatGeneral (15 significant digits; "%.Ng" asks for N, where N above 18 also
// means 15), "%%" a percent sign. Any other character is copied.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace quarvel {

using MessageArg = std::variant<int64_t, long double, std::string>;

// Throws EConvertError when an argument is missing or of the wrong kind for its
// directive, or when the format holds an unknown directive.
std::string FormatMessage(std::string_view format, std::initializer_list<MessageArg> args);

// The same with "." as the decimal separator whatever the process-wide setting: reads no
// state that another thread may change, so any thread may build its message with it
// (the tomography stages raise their errors from worker threads).
std::string FormatFixedMessage(std::string_view format, std::initializer_list<MessageArg> args);

}  // namespace quarvel
