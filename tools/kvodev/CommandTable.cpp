#include "CommandTable.h"

#include "Args.h"
#include "Commands.h"

namespace kvodev {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"units", {}, "[--skip-excluded] [--long]", OptSkipExcluded | OptLong, true, RunUnits, "list the installed units",
       "Lists every unit of the document in document order; --long adds its setup,\n"
       "name, model and ports (\"-\" for what it has none of). A unit whose id is\n"
       "malformed shows as U65535x0, the invalid key (units rename mends it).\n\n"
       "Exit status 1 when the unit list is damaged (the units before the damage are listed).\n\n"
       "example:\n  kvodev --data-dir /srv/kvoRQ units --skip-excluded\n"},
      {"units add", {"UNIT|DEVICE", "[INDEX]"}, "", 0, true, RunUnitsAdd, "add a unit: U303x0, or 303 0",
       "Adds the unit named by its id (U303x0), or by DEVICE and INDEX, decimal\n"
       "numbers from 0 to 65535 without leading zeros (303 0 adds U303x0).\n"
       "Exit status 1 when the unit is listed already (nothing changes).\n\n"
       "example:\n  kvodev units add 303 0\n  kvodev units add U303x1\n"},
      {"units show", {"UNIT"}, "", 0, true, RunUnitsShow, "a unit's setup, texts and linked ports",
       "Shows the unit's setup (include, exclude, or not set, which counts as\n"
       "include), its driver, model, name and serial number (\"-\" when the unit has\n"
       "none), and the ports it links to on its side. Exit status 1 when the unit\n"
       "is not listed.\n\n"
       "example:\n  kvodev units show U303x0\n"},
      {"units set", {"UNIT"}, "[--name T] [--model T] [--driver T] [--serial T] [--include|--exclude]",
       OptName | OptModel | OptDriver | OptSerial | OptInclude | OptExclude, true, RunUnitsSet,
       "change a unit's texts or setup",
       "Changes the texts and the setup of a listed unit, all or none. At least one\n"
       "option is needed; an empty text ('') removes that text.\n\n"
       "Exit status 1 when the unit is not listed (nothing changes).\n\n"
       "example:\n  kvodev units set U303x0 --name 'Main stage' --serial ST-30317 --model ''\n"},
      {"units remove", {"UNIT"}, "[--unlink]", OptUnlink, true, RunUnitsRemove, "remove a unit and its set memberships",
       "Removes the unit and its memberships in sets; links to ports stay (see unlink).\n"
       "A document without sets gets an empty one, saved at once, even when the unit\n"
       "is not listed. Exit status 1 when the unit is not listed.\n\n"
       "example:\n  kvodev units remove U303x0 --unlink\n"},
      {"units rename", {"OLD", "NEW"}, "", 0, true, RunUnitsRename, "give a unit another id, with its links",
       "Gives the unit whose id is OLD, exactly as the document writes it (a malformed\n"
       "id such as U0332x0 too), the id NEW; its links and set memberships follow,\n"
       "also those that write a malformed OLD the way it was meant (U332x0). Exit\n"
       "status 1 when no unit has the id OLD or NEW is listed.\n\n"
       "example:\n  kvodev units rename U0332x0 U332x0\n"},
      {"units exists", {"UNIT"}, "", 0, true, RunUnitsExists, "tell whether a unit is listed",
       "Tells whether the unit is listed: exit status 0 when it is, 1 when it is not.\n\n"
       "example:\n  kvodev units exists U303x0 && echo installed\n"},
      {"ports", {"[UNIT]"}, "", 0, true, RunPorts, "list the ports, or those linked to a unit",
       "Without UNIT, lists every port of the document with the units it links, in\n"
       "document order. With UNIT, lists every port that links the unit, in document\n"
       "order (a port linking it twice shows twice); exit status 1 when the unit is\n"
       "not listed, or when a port without a name ends the list.\n\n"
       "example:\n  kvodev ports\n  kvodev ports U303x0\n"},
      {"ports remove", {"PORT"}, "", 0, true, RunPortsRemove, "remove a serial port with every link to it",
       "Removes the serial port and every unit's link to it. Exit status 1 when there\n"
       "is no such port.\n\n"
       "example:\n  kvodev ports remove COM4\n"},
      {"link", {"UNIT", "PORT"}, "[--force]", OptForce, true, RunLink, "link a unit and a serial port",
       "Links the unit and the serial port on both sides: the unit's LinkedInterface\n"
       "and the port's LinkedUnit; the port is made when it is missing. Exit status 1\n"
       "when the unit is not listed, the two are linked on both sides already, or\n"
       "another unit links to the port (on either side); --force then unlinks it\n"
       "and says so. A link on one side only gets its other side.\n\n"
       "example:\n  kvodev link U303x0 COM3 --force\n"},
      {"unlink", {"UNIT", "PORT"}, "", 0, true, RunUnlink, "remove the link between a unit and a serial port",
       "Removes the link on both sides: the unit's LinkedInterface and the port's\n"
       "LinkedUnit. Exit status 1 when the two were not linked on both sides; when\n"
       "only the unit named the port, that link is removed all the same.\n\n"
       "example:\n  kvodev unlink U303x0 COM3\n"},
      {"sets", {}, "", 0, true, RunSets, "list the sets of units, the active one marked",
       "Lists the sets in document order: name, number of units, comment; the\n"
       "active set is marked with *.\n\n"
       "example:\n  kvodev sets --json\n"},
      {"sets show", {"NAME"}, "", 0, true, RunSetsShow, "a set's comment and members",
       "Shows the set's comment and its member units in document order, and whether\n"
       "it is the active set. Exit status 1 when there is no such set.\n\n"
       "example:\n  kvodev sets show Brightfield\n"},
      {"sets create", {"NAME"}, "[--comment T]", OptComment, true, RunSetsCreate, "create an empty set",
       "Creates an empty set with the comment T (default: empty). Exit status 1 when\n"
       "a set of that name exists already.\n\n"
       "example:\n  kvodev sets create Brightfield --comment 'Main stage and the colour camera'\n"},
      {"sets comment", {"NAME", "TEXT"}, "", 0, true, RunSetsComment, "change a set's comment",
       "Gives the set the comment TEXT (an empty one clears it). Exit status 1 when\n"
       "there is no such set.\n\n"
       "example:\n  kvodev sets comment Brightfield 'Main stage only'\n"},
      {"sets rename", {"OLD", "NEW"}, "", 0, true, RunSetsRename, "rename a set",
       "Renames the set; its members and comment stay, and it stays the active set\n"
       "when it was. Exit status 1 when there is no set OLD or a set NEW exists.\n\n"
       "example:\n  kvodev sets rename Fluorescense Fluorescence\n"},
      {"sets delete", {"NAME"}, "", 0, true, RunSetsDelete, "delete a set",
       "Deletes the set; its units stay listed. When it was the active set, no set\n"
       "is active. Exit status 1 when there is no such set.\n\n"
       "example:\n  kvodev sets delete Brightfield\n"},
      {"sets add", {"NAME", "UNIT"}, "", 0, true, RunSetsAdd, "make a listed unit a member of a set",
       "Adds the unit to the set's members. Exit status 1 when there is no such set,\n"
       "the unit is not listed, or it is a member already.\n\n"
       "example:\n  kvodev sets add Brightfield U303x0\n"},
      {"sets remove", {"NAME", "UNIT"}, "", 0, true, RunSetsRemove, "take a unit out of a set",
       "Removes the unit from the set's members; the unit stays listed. Exit status 1\n"
       "when there is no such set or the unit is no member of it.\n\n"
       "example:\n  kvodev sets remove Brightfield U303x0\n"},
      {"sets activate", {"NAME"}, "", 0, true, RunSetsActivate, "choose the active set",
       "Makes the set the active one; an empty NAME ('') chooses none. Exit status 1\n"
       "when there is no such set.\n\n"
       "example:\n  kvodev sets activate Brightfield\n"},
      {"drivers", {}, "", 0, true, RunDrivers, "list the driver files",
       "Lists the driver file names, sorted. Empty entries are left out (and stay\n"
       "in the file).\n\n"
       "example:\n  kvodev drivers --json\n"},
      {"drivers add", {"FILE"}, "", 0, true, RunDriversAdd, "add a driver file",
       "Adds a driver file name. Exit status 1, with nothing changed, when the name is\n"
       "listed already in any letter case (A to Z); exit status 2, with nothing opened,\n"
       "when it is empty or holds characters XML cannot hold. Put \"--\" before a name\n"
       "that starts with '-'.\n\n"
       "example:\n  kvodev drivers add /opt/kvoRQ/drivers/stage303.so\n"},
      {"drivers remove", {"FILE"}, "", 0, true, RunDriversRemove, "remove one driver file",
       "Removes the driver file of that name, compared as drivers add does (letters A\n"
       "to Z in any case). Exit status 1 when none is listed. Put \"--\" before a name\n"
       "that starts with '-'.\n\n"
       "example:\n  kvodev drivers remove stage303.so\n"},
      {"drivers clear", {}, "", 0, true, RunDriversClear, "remove every driver file",
       "Removes the whole driver file list.\n\n"
       "example:\n  kvodev drivers clear\n"},
      {"check", {}, "[--dry-run] [--repair-links]", OptDryRun | OptRepairLinks, true, RunCheck,
       "open the configuration, tell what happened and what is wrong",
       "Opens the configuration as a host does and tells the outcome:\n"
       "  loaded     the document loaded                                 exit 0\n"
       "  created    there was no document: a default one was written    exit 0\n"
       "  recovered  the document could not be loaded: it is kept as     exit 3\n"
       "             kvoDevice.xml.bak and a default document replaces it;\n"
       "             the backup's path and the parse error are shown\n"
       "  gave up    the schema could not be written, the document       exit 4\n"
       "             could not be read, or the damaged document could not be\n"
       "             backed up: nothing is loaded and the document is left\n"
       "             as it was; the reason is shown\n"
       "Exit status 1 when the document loaded but its unit list is damaged, or\n"
       "the default document (or the repair) could not be written. The schema is\n"
       "written when it is missing or damaged (\"schema written\").\n\n"
       "Then it names what is wrong in the document, each finding with its line:\n"
       "links on one side only, links to units or ports that are not there, unit\n"
       "ids that are malformed, missing or repeated, driver files that differ only\n"
       "in letter case, and the schema's first error. After a recovery the backup\n"
       "is read as well: the user's data is there. An older backup is named with\n"
       "its age. Findings leave the exit status as it is.\n\n"
       "With --dry-run it tells what an opening would do and what is wrong, writing\n"
       "nothing, and ends with the status check would. With --repair-links it then\n"
       "gives a link on one side only its other side (from either side), drops\n"
       "links and set memberships naming a unit or port that is not there, saves,\n"
       "and lists each change with its line; the version before the repair is kept\n"
       "in kvoDevice.history. Nothing whose both ends are there is removed, and the\n"
       "links of a unit with a malformed id wait for \"units rename\". With both\n"
       "options it lists the changes and writes nothing.\n\n"
       "example:\n  kvodev --data-dir /srv/kvoRQ check --dry-run --repair-links\n"},
      {"history", {}, "", 0, true, RunHistory, "list the replaced versions of the document",
       "Lists the versions of kvoDevice.xml that saves, recoveries and restores\n"
       "replaced, kept in kvoDevice.history, oldest first: the number that names a\n"
       "version for diff and restore (numbers shift as versions come and go), its\n"
       "id (the time it was replaced, shortened to what tells it apart; the id and\n"
       "the file name do not shift), when it was replaced (UTC), why (save, recovery,\n"
       "restore), how many units it holds (\"damaged\" when it is not XML, \"not\n"
       "valid\" when the schema refuses it, so that restore would too) and its size.\n"
       "The newest $KVO_HISTORY versions are kept (default 20; 0 keeps none).\n\n"
       "example:\n  kvodev --data-dir /srv/kvoRQ history\n"},
      {"watch", {}, "", 0, true, RunWatch, "print every change of the configuration as it happens",
       "Waits, until interrupted, for the document to change, whoever changes it\n"
       "(a host, another kvodev, an editor, a restore), and prints each change by\n"
       "what it means, as diff does, after a line with the time; --json prints one\n"
       "object per line instead. A document that cannot be loaded at a change is\n"
       "said on standard error and watched on. Writes nothing.\n\n"
       "Exit status 0 on SIGINT or SIGTERM; 5 when the configuration cannot be loaded\n"
       "at the start.\n\n"
       "example:\n  kvodev --json watch | jq .units\n"},
      {"diff", {"[A]", "[B]"}, "", 0, true, RunDiff, "what changed between two versions of the document",
       "Compares what two documents say, not their text: units added, removed or\n"
       "changed (setup, driver, model, name, serial number, port links), ports and\n"
       "their linked units, driver files, sets (comment, members), the active set.\n"
       "A and B are each a number or a file name from 'kvodev history', the path of\n"
       "any document file (./3 for a file named 3), or a file of the data directory\n"
       "(kvoDevice.xml.bak). Without B, A is compared with the current document;\n"
       "without either, the newest version is. Lines start with - (only in A),\n"
       "+ (only in B) or ~ (changed), and give the line in A, in B, or both (A -> B).\n\n"
       "Exit status, as diff(1): 0 no differences (a note on standard error), 1\n"
       "differences, 2 trouble: no such version, no history, or a file that cannot\n"
       "be read or is not XML.\n\n"
       "example:\n  kvodev --data-dir /srv/kvoRQ diff 3\n"},
      {"restore", {"VERSION"}, "[--yes]", OptYes, true, RunRestore, "put a version of the document back",
       "Puts VERSION back as kvoDevice.xml: a number, an id (or a prefix of it that\n"
       "no other version's id has) or a file name from 'kvodev history', the path of any document file (./3 for a file named 3), or a file\n"
       "of the data directory (kvoDevice.xml.bak). It must be readable and valid.\n"
       "The library writes it under the writers' lock and first keeps the document\n"
       "it replaces in the history (why: restore), so a restore is undone by another.\n"
       "Hosts holding the configuration merge their unsaved changes into it when\n"
       "they save.\n"
       "A file from outside the history that fewer users may read than the document\n"
       "is restored only with --yes: its content would become readable to them.\n"
       "Exit status 1, with nothing changed, when the library refuses the version\n"
       "or --yes is needed; the reason is shown.\n\n"
       "example:\n  kvodev --data-dir /srv/kvoRQ restore 3\n"},
      {"schema", {}, "[--print]", OptPrint, false, RunSchema, "write the schema into the data directory, or print it",
       "Writes kvoDevice.xsd, the schema of the document, into the data directory,\n"
       "replacing the file there: removes it, then opens the configuration as a host\n"
       "does, which writes the schema (and a default document when there is none).\n\n"
       "example:\n  kvodev schema --print > kvoDevice.xsd\n"},
      {"graph", {}, "[--svg]", OptSvg, true, RunGraph, "units, ports and sets as a Graphviz graph",
       "Prints the configuration as a Graphviz DOT graph: units (boxes; dotted when\n"
       "excluded), serial ports (ellipses) and sets (folders; the active one drawn\n"
       "twice), a line for each unit-port link and a dotted arrow from each set to\n"
       "its members. A link on one side only is dashed and says which side; an item\n"
       "that a link names but the document lacks is red.\n\n"
       "With --svg the graph goes through 'dot -Tsvg' (exit status 2 when dot is not\n"
       "on PATH).\n\n"
       "example:\n  kvodev graph --svg > configuration.svg\n"},
      {"caps", {}, "[--ini FILE]... [--device N]... [--all-types]", OptIni | OptDevice | OptAllTypes, false, RunCaps,
       "capability answers, devices by processing types",
       "Reads the INI files, then shows for every device whether each camera\n"
       "processing type is available: an INI setting decides first (marked *), the\n"
       "built-in table second; HDRI follows the feature ACQ_ENABLE_HDRI.\n\n"
       "Without --device: the devices the INI files describe, else 100 303 332 65535.\n\n"
       "example:\n  kvodev --feature ACQ_ENABLE_HDRI caps --ini cameras.ini --device 303 --device 1201\n"},
      {"ini", {"[FILE]..."}, "[--ini FILE]... [--lint]", OptIni | OptLint, false, RunIni, "what INI files describe",
       "Reads the INI files and lists the devices they describe: section name, tags,\n"
       "positions, RTC trigger use and processing settings; then the devices by tag\n"
       "and by position. Exit status 1 while the feature DEV_NO_SERVICE_UPDATE is on.\n\n"
       "With --lint it warns instead, as FILE:LINE: text, about what the library reads\n"
       "other than meant: words (yes, on, ...) or stray text in integer keys, numbers\n"
       "out of range, ';' or '#' after a value (no comment), repeated sections and\n"
       "keys (the first wins), keys it does not read (with a \"did you mean\"), a\n"
       "device in two sections of a file, a section without an ID, a header without\n"
       "its ']', Position entries that are dropped or cut short, UTF-16 without a\n"
       "byte-order mark. A device that a later file adds to is a note (FILE:LINE:\n"
       "note: text), not a warning. It lints the FILEs and --ini files; exit status\n"
       "1 with warnings, 2 when a file cannot be read.\n\n"
       "example:\n  kvodev ini --ini cameras.ini --ini positions.ini\n  kvodev ini --lint cameras.ini positions.ini\n"},
      {"help", {"[COMMAND]..."}, "", 0, false, nullptr, "this text, or a command's help",
       "Prints the help of the command that the words name (kvodev help units add),\n"
       "or without words the list of commands.\n"},
  };
  return commands;
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
