// help [COMMAND]...: the parser answers it from the table; here are its entry
// and the end of the overall help.
#include "commands/Registry.h"

namespace kvodev {

std::vector<Command> HelpCommands() {
  return {
      {"help", {"[COMMAND]..."}, {}, false, nullptr, "this text, or a command's help",
       "Prints the help of the command that the words name (kvodev help units add),\n"
       "or without words the list of commands.\n"},
  };
}

const std::string_view kOverviewFooter =
    "The data directory defaults to $KVO_DATA_DIR, else $XDG_DATA_HOME/kvoRQ,\n"
    "else ~/.local/share/kvoRQ. $KVO_FEATURES switches features on as --feature does.\n\n"
    "UNIT is a unit id such as U303x0 (device 303, index 0; decimal, no leading\n"
    "zeros); PORT a serial port such as COM3 or COM-5.\n\n"
    "A change is reported only once it is saved. Commands that only read (units,\n"
    "units show, units exists, ports, sets, sets show, drivers, history, diff,\n"
    "check --dry-run, graph) write nothing.\n\n"
    "exit status:\n"
    "  0  success; diff: no differences\n"
    "  1  the library answered false (not added, not listed, not linked, not\n"
    "     restored, ...), or the change was not saved; diff: differences\n"
    "  2  usage error or bad input; nothing was changed; diff: trouble\n"
    "  3  check: the document was damaged and replaced (the backup keeps it)\n"
    "  4  check: gave up, nothing was loaded\n"
    "     (check --dry-run ends with the status that check would)\n"
    "  5  the configuration cannot be loaded; nothing was changed\n"
    "  6  standard output could not be written\n\n"
    "example:\n  kvodev --data-dir /srv/kvoRQ units add 303 0\n";

}  // namespace kvodev
