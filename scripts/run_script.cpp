#include "scripts/run_script.h"

#include <filesystem>

#include "base/unique_fd.h"
#include "install/mervo_paths.h"
#include "scripts/child_process.h"
#include "scripts/output_reader_thread.h"
#include "scripts/script_environment.h"
#include "scripts/script_output.h"

namespace {

// A relative root or script path means relative to the program's working
// directory, where the installation test looked; the child runs elsewhere
// (in the root), so it must get them absolute.
std::string absoluteFromHere(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

ChildLaunch launchFor(const std::string& scriptPath,
                      const std::map<std::string, std::string>& extraEnv) {
  ChildLaunch launch;
  launch.program = "/bin/bash";
  launch.arguments = {launch.program, absoluteFromHere(scriptPath)};
  launch.environment = scriptEnvironment(extraEnv);
  launch.workingDirectory = absoluteFromHere(MervoPaths::root());
  return launch;
}

int32_t runWithOwnStreams(const ChildLaunch& launch) {
  std::optional<ChildProcess> child = ChildProcess::start(launch);
  return child ? child->wait() : kCannotStartStatus;
}

int32_t runWithOutput(ChildLaunch launch, OutputHandler onOutput) {
  std::optional<Pipe> pipe = makePipe();
  if (!pipe) return kCannotStartStatus;
  ScriptOutput output(std::move(pipe->readEnd), std::move(onOutput));
  // The reader runs before the child starts, so a child that fills the pipe
  // never waits on a reader that could not be started.
  OutputReaderThread reader(output);
  if (!reader.isRunning()) return kCannotStartStatus;

  launch.outputFd = pipe->writeEnd.get();
  std::optional<ChildProcess> child = ChildProcess::start(launch);
  // From here only the child (and whatever it starts) holds the write end,
  // so end of file means that all of them have closed it.
  pipe->writeEnd.reset();
  if (!child) return kCannotStartStatus;  // the reader sees end of file at once

  const int32_t status = child->wait();
  reader.stop();
  output.deliverRemainder(std::chrono::steady_clock::now() + kOutputGracePeriod);
  return status;
}

}  // namespace

int32_t runScript(const std::string& scriptPath, const std::map<std::string, std::string>& extraEnv,
                  OutputHandler onOutput) {
  ChildLaunch launch = launchFor(scriptPath, extraEnv);
  if (!onOutput) return runWithOwnStreams(launch);
  return runWithOutput(std::move(launch), std::move(onOutput));
}
