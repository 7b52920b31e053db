#include "ui/CommandLine.h"

#include <QRegularExpression>

namespace quarvel {

std::string UsageMessage(const std::string& what) { return what + " (see --help)"; }

std::string ShownValue(const std::string& value, std::size_t limit) {
  if (value.size() <= limit) return value;
  std::size_t cut = limit;
  // Back to the first byte of a UTF-8 character.
  while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
  return value.substr(0, cut) + "... (" + std::to_string(value.size()) + " bytes)";
}

QCommandLineOption HelpOption() { return {{"h", "help"}, "show this help and exit"}; }

QCommandLineOption VersionOption() { return {{"v", "version"}, "show the version and exit"}; }

void ParseCommandLine(QCommandLineParser& parser, const QList<QCommandLineOption>& options,
                      const QStringList& arguments) {
  parser.addOptions(options);
  // Without this check "-help" would be read as the letters h, e, l, p, and "-phantom x"
  // as -p -h -a ... each refused on its own, or worse, taken.
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == "--") break;
    if (argument.startsWith("--")) {
      const QString name = argument.mid(2).section('=', 0, 0);
      bool takesValue = false;
      for (const QCommandLineOption& o : options)
        takesValue = takesValue || (o.names().contains(name) && !o.valueName().isEmpty());
      if (takesValue && !argument.contains('=')) ++i;  // the next argument is its value
    } else if (argument.startsWith('-') && argument.size() > 2) {
      const std::string shown = ShownValue(argument.toStdString());
      std::string what = "unknown option '";
      what.append(shown).append("': long options take two dashes, as in '-").append(shown) += '\'';
      throw EUsageError(UsageMessage(what));
    }
  }
  if (!parser.parse(arguments)) {
    // The parser's texts ("Unknown option 'x'.") in the programs' style.
    QString text = parser.errorText().remove(QRegularExpression("\\.$"));
    if (!text.isEmpty()) text[0] = text[0].toLower();
    throw EUsageError(UsageMessage(ShownValue(text.toStdString())));
  }
  // The names as given, in order; an option's other names count as the same option.
  const QStringList given = parser.optionNames();
  for (const QCommandLineOption& o : options) {
    int count = 0;
    for (const QString& name : given) count += o.names().contains(name) ? 1 : 0;
    if (count > 1)
      throw EUsageError(UsageMessage("--" + o.names().last().toStdString() + " is given " +
                                     std::to_string(count) + " times"));
  }
}

QStringList ArgumentList(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

QString HelpText(const QCommandLineParser& parser, const QString& program) {
  QString text = parser.helpText();
  // The first line is "Usage: <how the program was started> [options] ...", the way it
  // was started being a path (or, before the toolkit starts, a stand-in).
  const QString usage = "Usage: ";
  const int end = text.indexOf(" [options]");
  if (text.startsWith(usage) && end > 0) text.replace(usage.size(), end - usage.size(), program);
  return text;
}

}  // namespace quarvel
