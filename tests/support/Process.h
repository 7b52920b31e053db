#pragma once
// The programs as a user runs them: a separate process, what it wrote and how it ended.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace quarvel::testing {

struct ProcessResult {
  QProcess::ExitStatus status = QProcess::NormalExit;
  int exitCode = -1;
  QByteArray out, err;
};

// Runs `program` with `args` in `environment` and waits for its end; after 60 s it is
// killed (the result then says CrashExit).
ProcessResult RunProcess(
    const QString& program, const QStringList& args,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// The test's own environment with `assignments` ("NAME=value") added or replaced.
QProcessEnvironment EnvironmentWith(const QStringList& assignments);

}  // namespace quarvel::testing
