// The viewer as a user starts it: its command line, and what it does when there is no
// window to open (one line and exit status 2, never an abort), and natively under a
// Wayland compositor.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "Process.h"

#ifndef QUARVEL_VIEW_PROGRAM
#error "QUARVEL_VIEW_PROGRAM must name the viewer"
#endif

namespace {

using Result = quarvel::testing::ProcessResult;

// The environment without any display: the cases add what they name.
QProcessEnvironment NoDisplay() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name :
       {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE", "WAYLAND_SOCKET"})
    env.remove(name);
  return env;
}

Result View(const QStringList& args, const QProcessEnvironment& env = NoDisplay()) {
  return quarvel::testing::RunProcess(QUARVEL_VIEW_PROGRAM, args, env);
}

bool IsOneLine(const QByteArray& text) { return text.endsWith('\n') && text.count('\n') == 1; }

TEST(ViewerCommandLine, TakesHelpAndVersionAndNothingElse) {
  const struct {
    const char* name;
    QStringList args;
    int exitCode;
    const char* out;  // what standard output contains
    const char* err;  // what the one line on standard error contains, or nullptr
  } cases[] = {
      {"help", {"--help"}, 0, "--version", nullptr},
      {"short help", {"-h"}, 0, "Usage: quarvel-view", nullptr},
      {"version", {"--version"}, 0, "quarvel-view " QUARVEL_VERSION "\n", nullptr},
      {"unknown option", {"--bogus"}, 2, "", "'bogus'"},
      {"a file", {"phantom.txt"}, 2, "", "unexpected argument 'phantom.txt'"},
      {"help with a stray argument", {"--help", "x"}, 2, "", "unexpected argument 'x'"},
      {"the toolkit's own options", {"-platform", "offscreen"}, 2, "", "'-platform'"},
      {"the toolkit's help", {"--help-all"}, 2, "", "'help-all'"},
  };
  for (const auto& c : cases) {
    const Result r = View(c.args);
    EXPECT_EQ(r.status, QProcess::NormalExit) << c.name;
    EXPECT_EQ(r.exitCode, c.exitCode) << c.name << ": " << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(c.out)) << c.name << ": " << r.out.toStdString();
    if (c.err) {
      EXPECT_TRUE(IsOneLine(r.err)) << c.name << ": " << r.err.toStdString();
      EXPECT_TRUE(r.err.startsWith("quarvel-view: ")) << c.name;
      EXPECT_TRUE(r.err.contains(c.err)) << c.name << ": " << r.err.toStdString();
      EXPECT_TRUE(r.out.isEmpty()) << c.name;
    } else {
      EXPECT_TRUE(r.err.isEmpty()) << c.name << ": " << r.err.toStdString();
    }
  }
}

// The toolkit's note about a missing runtime folder would break the one-line contract.
TEST(ViewerCommandLine, StartsWithoutARuntimeFolderSilently) {
  QProcessEnvironment env = NoDisplay();
  env.remove("XDG_RUNTIME_DIR");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QUARVEL_EXIT_AFTER_FIRST_FRAME", "1");
  const Result r = View({}, env);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.out.startsWith("first-frame ")) << r.out.toStdString();
  EXPECT_EQ(r.err.toStdString(), "");
}

// A Unix socket nobody listens on: what a compositor that went away leaves behind.
QString DeadSocket(const QTemporaryDir& dir) {
  QString path = dir.filePath("dead-wayland");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path - 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0)
      << std::strerror(errno);
  close(fd);
  return path;
}

// An X display number with no server behind it.
QString UnusedXDisplay() {
  int n = 93;
  while (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n))) ++n;
  return QString(":%1").arg(n);
}

TEST(ViewerWithoutWindow, SaysWhyInOneLineAndExitsWithTwo) {
  QTemporaryDir dir;
  const QString deadSocket = DeadSocket(dir), unusedX = UnusedXDisplay();
  const struct {
    const char* name;
    QList<QPair<QString, QString>> env;
    QString reason;  // part of the line
  } cases[] = {
      {"no display named", {}, "no display"},
      {"an unreachable X display",
       {{"DISPLAY", unusedX}},
       "could not connect to display " + unusedX},
      {"a dead Wayland socket, Wayland session",
       {{"WAYLAND_DISPLAY", deadSocket}, {"XDG_SESSION_TYPE", "wayland"}},
       "wl_display"},
      {"a dead Wayland socket, nothing else", {{"WAYLAND_DISPLAY", deadSocket}}, "wl_display"},
      {"Wayland chosen, socket dead",
       {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", deadSocket}},
       "wl_display"},
      {"a platform plugin that does not exist",
       {{"QT_QPA_PLATFORM", "nosuchplatform"}},
       "nosuchplatform"},
      {"a platform that cannot start here",
       {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", unusedX}},
       unusedX},
  };
  for (const auto& c : cases) {
    QProcessEnvironment env = NoDisplay();
    for (const auto& [name, value] : c.env) env.insert(name, value);
    const Result r = View({}, env);
    EXPECT_EQ(r.status, QProcess::NormalExit) << c.name << " (an abort or a crash)";
    EXPECT_EQ(r.exitCode, 2) << c.name;
    EXPECT_TRUE(IsOneLine(r.err)) << c.name << ": " << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith("quarvel-view: cannot open a window: "))
        << c.name << ": " << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.reason.toUtf8())) << c.name << ": " << r.err.toStdString();
  }
}

// Under a headless Wayland compositor, with nothing but its socket named, the window
// opens natively (the protocol log shows it) with the desktop entry's application id
// and draws its first frame.
TEST(ViewerUnderWayland, OpensNativelyWithTheApplicationId) {
  const QString weston = QStandardPaths::findExecutable("weston");
  if (weston.isEmpty())
    GTEST_SKIP() << "weston is not installed (scripts/install-deps.sh installs it): the native "
                    "Wayland run is not checked";
  QTemporaryDir runtime;  // private (0700), as the compositor requires
  QProcessEnvironment env = NoDisplay();
  env.insert("XDG_RUNTIME_DIR", runtime.path());

  QProcess compositor;
  compositor.setProcessEnvironment(env);
  compositor.setProcessChannelMode(QProcess::MergedChannels);
  compositor.setStandardOutputFile(runtime.filePath("weston.log"));
  compositor.start(weston, {"--backend=headless-backend.so", "--socket=quarvel-test",
                            "--idle-time=0", "--no-config"});
  ASSERT_TRUE(compositor.waitForStarted()) << compositor.errorString().toStdString();
  for (int i = 0; i < 200 && !QFile::exists(runtime.filePath("quarvel-test")); ++i)
    compositor.waitForFinished(50);  // returns at once if it ended
  const auto westonLog = [&runtime] {
    QFile f(runtime.filePath("weston.log"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().right(2000).toStdString() : std::string();
  };
  ASSERT_TRUE(QFile::exists(runtime.filePath("quarvel-test")))
      << "weston did not open its socket: " << westonLog();

  env.insert("WAYLAND_DISPLAY", "quarvel-test");
  env.insert("WAYLAND_DEBUG", "1");  // the client's protocol log, on standard error
  QProcess viewer;
  viewer.setProcessEnvironment(env);
  viewer.setReadChannel(QProcess::StandardError);
  viewer.start(QUARVEL_VIEW_PROGRAM, QStringList{});
  QByteArray log;
  const auto seen = [&log] {
    return log.contains("set_app_id(\"" QUARVEL_APP_ID "\")") &&
           log.contains("set_title(\"Quarvel view\")") && log.contains(".attach(wl_buffer@");
  };
  while (!seen() && viewer.state() != QProcess::NotRunning && viewer.waitForReadyRead(30000))
    log += viewer.readAllStandardError();
  log += viewer.readAllStandardError();
  const bool running = viewer.state() == QProcess::Running;
  viewer.kill();
  viewer.waitForFinished();
  compositor.kill();
  compositor.waitForFinished();

  EXPECT_TRUE(running) << "the viewer ended under Wayland: " << log.right(2000).toStdString()
                       << westonLog();
  EXPECT_TRUE(seen()) << log.right(4000).toStdString();
}

}  // namespace
