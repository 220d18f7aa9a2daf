#include "base/program_main.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>

#include "base/errors.h"

namespace snp {
namespace {

int report(const FatalError& error) {
  std::cout.flush();
  std::ostream& stream = error.channel() == Channel::standard_output ? std::cout : std::cerr;
  stream << error.what() << std::flush;
  const auto* input = dynamic_cast<const InputError*>(&error);
  if (input && input->wait_for_keystroke() && ::isatty(STDIN_FILENO)) std::getchar();
  return error.exit_status();
}

}  // namespace

int run_program(const std::function<int()>& body) {
  // A file grown beyond the size limit (ulimit -f) is then a write error
  // that names the file, not a signal that kills the run midway.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    return body();
  } catch (const FatalError& error) {
    return report(error);
  } catch (const std::bad_alloc&) {
    return report(AllocationError("allocation failure: out of memory"));
  } catch (const std::exception& error) {
    return report(FatalError(std::string("Error: internal error: ") + error.what() + "\n", Channel::standard_error));
  }
}

int run_program(const ProgramSpec& spec, int argc, char** argv,
                const std::function<int(const ParsedOptions&)>& body) {
  return run_program([&] {
    const ParsedOptions options = parse_options(spec, arguments(argc, argv));
    if (options.help) {
      std::cout << help_text(spec);
      return 0;
    }
    if (options.version) {
      std::cout << version_text(spec.name);
      return 0;
    }
    return body(options);
  });
}

std::vector<std::string> arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

}  // namespace snp
