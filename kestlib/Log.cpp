#include "kestlib/Log.h"

#include <windows.h>

#include <cstdio>

#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/core/core.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sources/global_logger_storage.hpp>
#include <boost/log/sources/record_ostream.hpp>
#include <boost/log/sources/severity_logger.hpp>
#include <boost/make_shared.hpp>

#include "kestlib/Holders.h"
#include "kestlib/io/Utf8.h"

namespace kestlib {

using SetupLogger = boost::log::sources::wseverity_logger_mt<Severity>;

// Created on first use, once per process, thread-safe.
BOOST_LOG_INLINE_GLOBAL_LOGGER_DEFAULT(CommonSetupLogger, SetupLogger)

namespace {

namespace logging = boost::log;

// Local time, severity and message. Each record is written with its own
// call, so a run that ends abruptly leaves every record before it.
class LogFileBackend : public logging::sinks::basic_sink_backend<logging::sinks::synchronized_feeding> {
 public:
  explicit LogFileBackend(UniqueFile file) : m_file(std::move(file)) {}

  void consume(const logging::record_view& record) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const auto severity = logging::extract<Severity>("Severity", record);
    const auto message = logging::extract<std::wstring>("Message", record);
    char stamp[64];
    std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u.%03u [%d] ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                  severity ? static_cast<int>(*severity) : -1);
    const std::string line = stamp + Utf8FromWide(message ? *message : std::wstring()) + "\r\n";
    DWORD written = 0;
    WriteFile(m_file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    // Adding a sink silences the library's default output; keep it.
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
  }

 private:
  UniqueFile m_file;
};

}  // namespace

void WriteLog(Severity severity, const std::wstring& message) {
  SetupLogger& logger = CommonSetupLogger::get();
  logging::record record = logger.open_record(logging::keywords::severity = severity);
  if (!record) return;
  logging::wrecord_ostream stream(record);
  stream << message;
  stream.flush();
  logger.push_record(std::move(record));
}

bool AddLogFile(const std::wstring& path) {
  // Appending only: an administrator's file is never cut short.
  UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  using Sink = logging::sinks::synchronous_sink<LogFileBackend>;
  logging::core::get()->add_sink(boost::make_shared<Sink>(boost::make_shared<LogFileBackend>(std::move(file))));
  return true;
}

}  // namespace kestlib
