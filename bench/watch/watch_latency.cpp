// How soon `quillmark-cli watch` takes a picture dropped into its input folder: the time from the moment the
// writer closes a 5 MB JPEG there to the moment its output takes its name in the output folder, over 50 drops
// one after the other, with a minute between two timed scans. Then the processor time the idle watch uses.
// It prints the figures and asserts nothing.
//
//   watch_latency QUILLMARK_CLI WORK_FOLDER [DROPS]
//
// The picture (ImageMagick noise, 3300 x 2500, with Mac OS Roman IPTC written by ExifTool) is made once and
// kept in WORK_FOLDER.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool MakePicture(const fs::path& picture) {
  if (fs::exists(picture)) return true;
  const std::string p = picture.string();
  const std::string command =
      "convert -size 3300x2500 xc:gray +noise Random -blur 0x0.5 -quality 92 '" + p +
      "' && exiftool -q -overwrite_original -charset iptc=MacRoman -IPTC:ObjectName='Fête' "
      "-IPTC:Caption-Abstract='Café crème brûlée' -IPTC:City='Besançon' "
      "'" +
      p + "'";
  return std::system(command.c_str()) == 0;
}

// The processor time the process has used so far, user and system, in seconds.
double ProcessorSeconds(pid_t pid) {
  std::istringstream stat(Slurp("/proc/" + std::to_string(pid) + "/stat"));
  std::string field;
  // The second field, the command in parentheses, holds no blank here.
  double ticks = 0;
  for (int i = 1; i <= 15 && stat >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: watch_latency QUILLMARK_CLI WORK_FOLDER [DROPS]\n");
    return 2;
  }
  const std::string cli = fs::absolute(argv[1]).string();
  const fs::path work = fs::absolute(argv[2]);
  const int drops = argc > 3 ? std::atoi(argv[3]) : 50;
  fs::create_directories(work);
  const fs::path picture = work / "picture.jpg";
  if (!MakePicture(picture)) {
    std::fprintf(stderr,
                 "watch_latency: the picture could not be made (convert, exiftool: scripts/install-deps)\n");
    return 1;
  }
  const std::string bytes = Slurp(picture);

  const fs::path run = work / "run";
  fs::remove_all(run);
  for (const char* folder : {"in", "out"}) fs::create_directories(run / folder);
  std::ofstream(run / "Quillmark.ini").put('\n');
  const std::string in = (run / "in").string() + "/";
  const std::string out = (run / "out").string() + "/";

  const int events = ::inotify_init1(IN_CLOEXEC);
  if (events < 0 || ::inotify_add_watch(events, out.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
    std::perror("watch_latency: inotify");
    return 1;
  }

  const std::string ini = (run / "Quillmark.ini").string();
  const std::string log = (run / "stdout").string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(output, 1);
    ::dup2(output, 2);
    ::execl(cli.c_str(), cli.c_str(), "--ini", ini.c_str(), "--input", in.c_str(), "--output", out.c_str(),
            "--after", "delete", "--accents", "mac-to-windows", "--xmp", "sync", "--wait", "60", "watch",
            nullptr);
    ::_exit(127);
  }
  // The run's first scan is over when its status line is out.
  for (int i = 0; i < 600 && Slurp(log).find("Last: ") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }

  std::vector<double> latencies;
  for (int drop = 0; drop < drops; ++drop) {
    char name[32];
    std::snprintf(name, sizeof name, "photo-%04d.jpg", drop);
    const int fd = ::open((in + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      std::perror("watch_latency: write");
      break;
    }
    ::close(fd);
    const Clock::time_point closed = Clock::now();
    bool arrived = false;
    while (!arrived && Clock::now() - closed < std::chrono::seconds(120)) {
      pollfd watched = {events, POLLIN, 0};
      if (::poll(&watched, 1, 1000) <= 0) continue;
      alignas(inotify_event) char buffer[4096];
      const ssize_t n = ::read(events, buffer, sizeof buffer);
      for (const char* p = buffer; n > 0 && p < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(p);
        p += sizeof(inotify_event) + event->len;
        arrived = arrived || (event->len > 0 && std::string(event->name) == name);
      }
    }
    if (!arrived) {
      std::fprintf(stderr, "watch_latency: %s never came out\n", name);
      break;
    }
    latencies.push_back(Seconds(Clock::now() - closed));
    // The next drop a moment after this input is gone, so that each drop meets an idle watch.
    while (fs::exists(in + name)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }

  const double before = ProcessorSeconds(pid);
  const Clock::time_point idle_from = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(20));
  const double idle = ProcessorSeconds(pid) - before;
  const double idle_for = Seconds(Clock::now() - idle_from);

  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  if (latencies.empty()) return 1;
  std::sort(latencies.begin(), latencies.end());
  const auto at = [&](double q) {
    return latencies[static_cast<std::size_t>(q * (latencies.size() - 1) + 0.5)];
  };
  std::printf("watch: writer's close of a %.1f MB JPEG to its output, Wait 60, %zu drops\n",
              static_cast<double>(bytes.size()) / 1e6, latencies.size());
  std::printf("  median %.3f s   10th percentile %.3f s   90th percentile %.3f s   max %.3f s\n", at(0.5),
              at(0.1), at(0.9), latencies.back());
  std::printf("  target: within the settle time plus 0.5 s\n");
  std::printf("idle watch: %.2f s of processor time in %.0f s\n", idle, idle_for);
  return 0;
}
