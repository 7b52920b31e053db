#pragma once
// The command lines of both programs, parsed and worded alike.
//
// One style for help, usage errors and placeholders: texts in lower case without a
// full stop, values shown as placeholders in angle brackets (<file>, <WxH>), and a
// usage error as one line naming what is wrong followed by "(see --help)":
//
//   quarvel-export: unknown option 'bogus' (see --help)
//
// Long options take two dashes ("--phantom <file>" or "--phantom=<file>"); a single
// dash takes one letter ("-h", "-v"), so "-help" or "-phantom x" is a usage error
// rather than a string of letters. The toolkit's own options ("-platform") are not
// taken either.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <string>

#include "base/Exception.h"

namespace quarvel {

// A command line that cannot be followed; the message is the whole line after the
// program's name, "(see --help)" included where the help would tell more.
class EUsageError : public Exception {
 public:
  using Exception::Exception;
};

// "<what> (see --help)".
std::string UsageMessage(const std::string& what);

// A value as a message shows it: whole up to `limit` bytes; a longer one cut there (never
// inside a character) and followed by "... (N bytes)", so that a line stays a line. File
// names are shown whole up to the system's path limit (kShownPathLength), which any name
// that can name a file keeps to.
constexpr std::size_t kShownLength = 100;
constexpr std::size_t kShownPathLength = 4096;
std::string ShownValue(const std::string& value, std::size_t limit = kShownLength);

// The options every program takes: -h, --help and -v, --version.
QCommandLineOption HelpOption();
QCommandLineOption VersionOption();

// Adds `options` to `parser` and parses `arguments` (the program's name first, as
// argv has it). Raises EUsageError, in the style above, for a single-dash long option,
// an unknown option, a missing or unexpected value, or an option given twice (by either
// of its names): taking the last of two values silently would hide a typing slip.
void ParseCommandLine(QCommandLineParser& parser, const QList<QCommandLineOption>& options,
                      const QStringList& arguments);

// The arguments as the program received them.
QStringList ArgumentList(int argc, char** argv);

// The parser's help text with the usage line naming `program` rather than the path
// the program was started by.
QString HelpText(const QCommandLineParser& parser, const QString& program);

}  // namespace quarvel
