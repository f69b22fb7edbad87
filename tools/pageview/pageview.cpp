#include "tools/pageview/pageview.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "io/output_buffer.hpp"
#include "tools/pageview/page_data.hpp"
#include "tools/pageview/page_html.hpp"
#include "tools/pageview/page_json.hpp"
#include "tools/pageview/their_lines.hpp"

namespace {

bool check_request(const PageviewRequest& request, std::string& error) {
  if (request.mode != 0 && request.mode != 1) {
    error = "the mode is 0 or 1, not " + std::to_string(request.mode);
  } else if (request.first_record < 1) {
    error = "the first record is 1 or more, not " + std::to_string(request.first_record);
  } else if (request.count < 1 || request.count > kMaxPageRecords) {
    error = "a page covers 1 to " + std::to_string(kMaxPageRecords) + " records, not " +
            std::to_string(request.count);
  } else if (request.output_path.empty()) {
    error = "no output file named";
  } else {
    return true;
  }
  return false;
}

// Writes the whole text, to a file made for it or to standard output; a file
// left half written is removed.
bool write_output(const std::string& path, const std::string& text, std::string& error,
                  bool& reader_left) {
  const bool to_stdout = path == "-";
  const int fd = to_stdout ? STDOUT_FILENO
                           : open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  // Only a regular file is removed when half written: a device or a FIFO
  // named as the output is not the page's to delete.
  struct stat status {};
  const bool regular = !to_stdout && fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  bool written = write_fully(fd, text.data(), text.size());
  int saved_errno = errno;
  if (!to_stdout && close(fd) != 0 && written) {
    written = false;
    saved_errno = errno;
  }
  if (written) return true;
  reader_left = to_stdout && saved_errno == EPIPE;
  error = "cannot write " + (to_stdout ? std::string("standard output") : path) + ": " +
          std::strerror(saved_errno);
  if (regular) unlink(path.c_str());
  return false;
}

bool build_and_write(const PageviewRequest& request, PageviewResult& result, std::string& error) {
  auto data = std::make_unique<PageData>();
  if (!collect_page_data(request.trace_path, request.mode, request.first_record, request.count,
                         *data, error, request.trace_fd))
    return false;
  result.trace_records = data->trace_records;
  result.stop_note = data->stop_note;
  if (data->steps.empty()) {
    error = request.trace_path + " has " + std::to_string(data->trace_records) +
            " records that pagesim reads: none from record " +
            std::to_string(request.first_record) + " on";
    return false;
  }
  TheirLines theirs;
  if (!request.their_log.empty() &&
      !read_their_lines(request.their_log, request.first_record, request.count, theirs, error,
                        request.their_log_fd))
    return false;
  PageText text{request.trace_path, request.heading, request.open_record};
  const std::string json = page_json(*data, request.their_log.empty() ? nullptr : &theirs, text);
  return write_output(request.output_path, page_html(json), error, result.reader_left);
}

// Everything a descriptor holds, up to `limit` bytes.
std::string read_all(int fd, size_t limit) {
  std::string text;
  char block[4096];
  ssize_t got;
  while (text.size() < limit && ((got = read(fd, block, sizeof block)) > 0 || errno == EINTR)) {
    if (got > 0) text.append(block, static_cast<size_t>(got));
  }
  return text;
}

// The result as the child sends it: "1\n", "0\n" or, when the reader of
// standard output left, "2\n"; then records, note, error.
std::string encode_result(bool ok, const PageviewResult& result, const std::string& error) {
  return std::string(ok                   ? "1"
                     : result.reader_left ? "2"
                                          : "0") +
         "\n" + std::to_string(result.trace_records) + "\n" + result.stop_note + "\n" + error;
}

bool decode_result(const std::string& text, PageviewResult& result, std::string& error) {
  const size_t records_end = text.find('\n', 2);
  const size_t note_end = text.find('\n', records_end + 1);
  result.trace_records = std::stoll(text.substr(2, records_end - 2));
  result.stop_note = text.substr(records_end + 1, note_end - records_end - 1);
  error = text.substr(note_end + 1);
  result.reader_left = text[0] == '2';
  return text[0] == '1';
}

}  // namespace

bool write_pageview(const PageviewRequest& request, PageviewResult& result, std::string& error) {
  if (!check_request(request, error)) return false;
  // pagesim's model ends the whole process on an inconsistent TLB entry
  // (which a record of process -1 can cause), so it runs in a child: the
  // caller learns where instead of ending with it.
  int result_pipe[2], stderr_pipe[2];
  if (pipe2(result_pipe, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  if (pipe2(stderr_pipe, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    close(result_pipe[0]);
    close(result_pipe[1]);
    return false;
  }
  const pid_t child = fork();
  if (child == 0) {
    dup2(stderr_pipe[1], STDERR_FILENO);
    std::string child_error;
    bool ok = false;
    try {
      ok = build_and_write(request, result, child_error);
    } catch (const std::bad_alloc&) {
      child_error = "not enough memory for a page of " + std::to_string(request.count) + " records";
    }
    const std::string message = encode_result(ok, result, child_error);
    const bool sent = write_fully(result_pipe[1], message.data(), message.size());
    _exit(sent ? 0 : 1);
  }
  close(result_pipe[1]);
  close(stderr_pipe[1]);
  if (child < 0) {
    error = std::string("cannot start a process: ") + std::strerror(errno);
    close(result_pipe[0]);
    close(stderr_pipe[0]);
    return false;
  }
  const std::string sent = read_all(result_pipe[0], 1 << 16);
  const std::string model_said = read_all(stderr_pipe[0], 1 << 16);
  close(result_pipe[0]);
  close(stderr_pipe[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && sent.size() >= 2)
    return decode_result(sent, result, error);
  constexpr const char* kInconsistent = "inconsistent data at line ";
  const size_t at = model_said.find(kInconsistent);
  if (at != std::string::npos) {
    const size_t number = at + std::strlen(kInconsistent);
    const std::string record = model_said.substr(number, model_said.find('\n', number) - number);
    error = "pagesim itself ends the run at record " + record +
            " (\"Error, inconsistent data\": a TLB entry of process -1, the tables' empty "
            "marker); a page can show the records before it";
  } else {
    error = "the page could not be made: its process " +
            (WIFSIGNALED(status) ? "ended on signal " + std::to_string(WTERMSIG(status))
                                 : "exited with status " + std::to_string(WEXITSTATUS(status)));
  }
  return false;
}

bool write_pageview(const PageviewRequest& request, std::string& error) {
  PageviewResult result;
  return write_pageview(request, result, error);
}
