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

// The options every program takes: -h, --help and -v, --version.
QCommandLineOption HelpOption();
QCommandLineOption VersionOption();

// Adds `options` to `parser` and parses `arguments` (the program's name first, as
// argv has it). Raises EUsageError, in the style above, for a single-dash long option,
// an unknown option, or a missing or unexpected value.
void ParseCommandLine(QCommandLineParser& parser, const QList<QCommandLineOption>& options,
                      const QStringList& arguments);

// The arguments as the program received them.
QStringList ArgumentList(int argc, char** argv);

// The parser's help text with the usage line naming `program` rather than the path
// the program was started by.
QString HelpText(const QCommandLineParser& parser, const QString& program);

}  // namespace quarvel
