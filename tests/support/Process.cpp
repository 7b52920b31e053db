#include "Process.h"

namespace quarvel::testing {

ProcessResult RunProcess(const QString& program, const QStringList& args,
                         const QProcessEnvironment& environment) {
  QProcess p;
  p.setProcessEnvironment(environment);
  p.start(program, args);
  if (!p.waitForFinished(60000)) p.kill();
  p.waitForFinished();
  return {p.exitStatus(), p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

QProcessEnvironment EnvironmentWith(const QStringList& assignments) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const QString& a : assignments) env.insert(a.section('=', 0, 0), a.section('=', 1));
  return env;
}

}  // namespace quarvel::testing
