#include "in_process.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

#include "main/menu.h"

uniqueFd memoryFile(std::string_view bytes) {
  uniqueFd fd(memfd_create("velvarin-test", MFD_CLOEXEC));
  if (!fd.isOpen()) std::abort();
  while (!bytes.empty()) {
    ssize_t n = write(fd.get(), bytes.data(), bytes.size());
    if (n <= 0) std::abort();
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  lseek(fd.get(), 0, SEEK_SET);
  return fd;
}

std::string contentOf(int fd) {
  std::string content;
  char block[65536];
  for (off_t at = 0;;) {
    ssize_t n = pread(fd, block, sizeof block, at);
    if (n <= 0) return content;
    content.append(block, static_cast<std::size_t>(n));
    at += n;
  }
}

MemoryConsole::MemoryConsole(std::string_view input)
    : in_(memoryFile(input)), out_(memoryFile()), console_(in_.get(), out_.get()) {}

std::string MemoryConsole::output() {
  console_.flush();
  return contentOf(out_.get());
}

SessionRun runInProcess(const std::string& ticketPath, std::string_view input) {
  MemoryConsole screen(input);
  Session session{screen.console(), ticketPath};
  SessionRun run;
  run.status = runMenu(session);
  run.output = screen.output();
  run.error = screen.console().error();
  return run;
}
