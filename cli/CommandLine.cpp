#include "cli/CommandLine.h"

namespace CommandLine {

namespace {

struct Option
{
    const char *name;
    bool takesValue;
};

struct Command
{
    const char *name;
    std::initializer_list<Option> options;
    const char *help;
};

const Command commands[] = {
    {"list",
     {{"json", false}},
     "Usage: lumidesk-cli list [--json]\n"
     "\n"
     "The attached cameras, one line each: model, serial number, address (network cameras),\n"
     "uri and firmware version. Each camera is opened briefly to read its serial number and\n"
     "firmware; a camera that cannot be opened shows \"-\" for them.\n"
     "\n"
     "  --json   a JSON array of {model, serial, address, uri, firmware} (null when unknown)\n"},
    {"info",
     {{"mode", true}, {"save", true}},
     "Usage: lumidesk-cli info CAMERA [--mode N] [--save FILE]\n"
     "\n"
     "The camera's device information (model, uri, \"SN:\", \"FWver:\", \"Flash:\"), a blank line,\n"
     "then its calibration report exactly as the panel's \"SaveCameraParams\" writes it.\n"
     "\n"
     "  --mode N     the depth mode (0-2) whose HTP table is reported (default 0)\n"
     "  --save FILE  also write the report to FILE (a folder: FILE/<serial>.txt), whole or not at all\n"},
    {"capture",
     {{"frames", true}, {"out", true}, {"kinds", true}, {"ply", false}},
     "Usage: lumidesk-cli capture CAMERA --frames N --out DIR [--kinds KINDS] [--ply]\n"
     "\n"
     "Reads N frame sets and writes them under DIR as the panel's \"Continuous Save\" writes a set\n"
     "folder: DIR/depth, ir, wdrdepth, mappeddepth, mappedir as 16-bit PNG, DIR/rgb as JPEG,\n"
     "DIR/mappedrgb as PNG, each file numbered 00000001, 00000002, ... by set. The point cloud of\n"
     "each set goes to DIR/pointcloud/<number>.txt (the panel's text lines) and, with --ply, to\n"
     "<number>.ply (binary PLY, x y z in millimetres). Sets are written on a thread of their own;\n"
     "when the disk falls more than 32 sets behind, a set is dropped and counted.\n"
     "At the end: \"read R, written W, dropped D\". Exit status 0 only when all N were written;\n"
     "1 when the camera was lost, a file could not be written or a kind asked for never arrived\n"
     "(the data mode is the camera's); 130 after Ctrl-C (the sets read by then are written first).\n"
     "\n"
     "  --frames N    the number of frame sets, 1 or more\n"
     "  --out DIR     the set's folder, holding the kinds' folders (created when missing)\n"
     "  --kinds LIST  comma-separated: depth, ir, rgb, mappedrgb, mappeddepth, mappedir, pointcloud\n"
     "                (default: those of depth, ir and rgb the camera delivers in its first set)\n"
     "  --ply         also each set's point cloud as PLY\n"},
    {"flash",
     {{"loader", true}, {"port", true}, {"timeout", true}},
     "Usage: lumidesk-cli flash CAMERA IMAGE [--loader BOOT.bin] [--port N] [--timeout S]\n"
     "\n"
     "Upgrades the camera's firmware by the path its model takes, as the panel's \"Upgrade\n"
     "Firmware\" does: a Brio through the camera library's upgrade (its answer and each stage in\n"
     "the upgrade dialog's words), a Dune or an Eske over TFTP from a server of this program on\n"
     "127.0.0.1 that serves IMAGE's folder (the camera is told \"127.0.0.1:PORT FILE\"), an Alta\n"
     "through its USB loader and Upgrade/libRKUpgrade.so of the installation. Then it waits for\n"
     "the camera to restart and prints \"FWver: OLD -> NEW\". Exit status 0 only when the camera\n"
     "is back with the image's version (from the image's header; for an image without one, any\n"
     "version other than before); 1 when the camera refused or failed, or did not come back in\n"
     "time; 2 for an image that cannot be read, a camera that is not attached or a model that\n"
     "is not upgraded here (Cima, EskeAlias); 130 after Ctrl-C, saying what was done.\n"
     "\n"
     "  --loader FILE  the Alta's boot loader (default: the first *.bin beside IMAGE whose name\n"
     "                 holds the camera's flash type, nand or nor)\n"
     "  --port N       the TFTP server's UDP port (default: one the system picks)\n"
     "  --timeout S    seconds to wait for each step and for the camera's return (default 60)\n"},
    {"get",
     {{"mode", true}, {"range", true}},
     "Usage: lumidesk-cli get CAMERA ITEM [TEXT...] [--mode N] [--range N]\n"
     "\n"
     "One parameter as the panel's parameter page reads it (\"Params：\" then \"Read\"). ITEM is\n"
     "the item's name in that list (any case; quote names with blanks) or its index 0-40.\n"
     "TEXT is what the page's text box holds: the record selector for AccOffset and GyroOffset,\n"
     "the addresses for RegVal.\n"
     "\n"
     "  --mode N    \"Depth Mode：\" 0-2 (OffSet, HTP, MaxDepth, RangeOffset; default 0)\n"
     "  --range N   \"Depth Range：\" 0-2 (OffSet; default 0)\n"},
    {"set",
     {{"mode", true}, {"range", true}},
     "Usage: lumidesk-cli set CAMERA ITEM VALUES... [--mode N] [--range N]\n"
     "\n"
     "Writes one parameter as the parameter page's \"Write\" does: the values are joined by\n"
     "blanks and split at commas and white space; a wrong count, a part that is not a number of\n"
     "its field's type, or a read-only item is refused with the page's message and nothing is\n"
     "written. A word such as -3 is a value, not an option; after \"--\" every word is a value.\n"
     "\n"
     "  --mode N    \"Depth Mode：\" 0-2 (OffSet, HTP, MaxDepth, RangeOffset, PulseCount; default 0)\n"
     "  --range N   \"Depth Range：\" 0-2 (OffSet, PulseCount; default 0)\n"},
    {"reg",
     {},
     "Usage: lumidesk-cli reg read CAMERA ADDR...\n"
     "       lumidesk-cli reg write CAMERA ADDR VALUE [ADDR VALUE...]\n"
     "\n"
     "Device registers, as the parameter page's RegVal: 16-bit numbers, all hexadecimal when the\n"
     "first has \"0x\", otherwise all decimal. A read takes up to 31 addresses and prints\n"
     "\"0x001a, 0x0003\" per register; a write takes up to 15 pairs.\n"},
    {"diff",
     {{"mode", true}},
     "Usage: lumidesk-cli diff CAMERA REPORT [--mode N]\n"
     "\n"
     "Compares a calibration report saved earlier (the panel's \"SaveCameraParams\" file, or\n"
     "info --save) with the camera, item by item, and prints each item that differs with both\n"
     "values. Numbers are compared at the report's precision. Exit status 0: the same; 1: they\n"
     "differ.\n"
     "\n"
     "  --mode N   the depth mode (0-2) whose HTP table the report holds (default 0)\n"},
    {"restore",
     {{"mode", true}, {"dry-run", false}, {"force", false}},
     "Usage: lumidesk-cli restore CAMERA REPORT [--mode N] [--dry-run] [--force]\n"
     "\n"
     "Writes a saved calibration report back: every writable item whose camera value differs\n"
     "from the report is written through the parameter page's rules, read back and checked.\n"
     "Read-only items (FWVer, HMVer, FlashType) and items the report lacks are reported and left.\n"
     "\n"
     "  --mode N    the depth mode (0-2) whose HTP table the report holds (default 0)\n"
     "  --dry-run   print what would be written and write nothing\n"
     "  --force     write a report saved from a camera with another serial number (the serial\n"
     "              number is written too)\n"},
};

const char *overall = "Usage: lumidesk-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
                      "\n"
                      "Camera tasks without the window, through the same camera code as Lumidesk.\n"
                      "\n"
                      "Commands:\n"
                      "  list                             the attached cameras (--json for scripts)\n"
                      "  info CAMERA                      device information and the calibration report\n"
                      "  capture CAMERA --frames N --out DIR\n"
                      "                                   frame sets into files, as the panel saves them\n"
                      "  flash CAMERA IMAGE               upgrade the firmware and wait for the camera's return\n"
                      "  get CAMERA ITEM [TEXT...]        read one parameter as the parameter page does\n"
                      "  set CAMERA ITEM VALUES...        write one parameter as the parameter page does\n"
                      "  reg read CAMERA ADDR...          read registers\n"
                      "  reg write CAMERA ADDR VALUE...   write registers\n"
                      "  diff CAMERA REPORT               the items where a saved report and the camera differ\n"
                      "  restore CAMERA REPORT            write a saved report back to the camera\n"
                      "  help [COMMAND]                   this text, or a command's (also COMMAND --help)\n"
                      "\n"
                      "CAMERA is a serial number, a network camera's address, or a uri (see list).\n"
                      "\n"
                      "Options for every command:\n"
                      "  -h, --help      the command's help\n"
                      "  -v, --verbose   the camera code's log on standard error\n"
                      "\n"
                      "Exit status: 0 success; 1 the camera failed or refused, or diff found differences;\n"
                      "2 a mistake in the command line, a value the parameter page refuses, an unreadable report,\n"
                      "or a camera that is not attached; 130 a capture or flash stopped by Ctrl-C.\n";

const Command *find(const QString &name)
{
    for (const Command &c : commands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

const Option *findOption(const Command &command, const QString &name)
{
    for (const Option &o : command.options)
        if (name == QLatin1String(o.name))
            return &o;
    return nullptr;
}

bool looksLikeNumber(const QString &word)
{
    return word.size() > 1 && word[0] == QLatin1Char('-') && (word[1].isDigit() || word[1] == QLatin1Char('.'));
}

} // namespace

bool knownCommand(const QString &command)
{
    return find(command) != nullptr;
}

QString helpText(const QString &command)
{
    if (command.isEmpty())
        return QString::fromUtf8(overall);
    const Command *c = find(command);
    return c ? QString::fromUtf8(c->help) : QString();
}

Parsed parse(const QStringList &words)
{
    Parsed p;
    const Command *command = nullptr;
    bool optionsEnded = false;
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        const bool option = !optionsEnded && word.startsWith(QLatin1Char('-')) && !looksLikeNumber(word);
        if (!option) {
            if (p.command.isEmpty()) {
                p.command = word;
                command = find(word);
                if (!command && word != QLatin1String("help")) {
                    p.error = QStringLiteral("unknown command \"%1\"").arg(word);
                    return p;
                }
            } else {
                p.arguments << word;
            }
            continue;
        }
        if (word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (word == QLatin1String("-h") || word == QLatin1String("--help")) {
            p.help = true;
        } else if (word == QLatin1String("-v") || word == QLatin1String("--verbose")) {
            p.verbose = true;
        } else {
            QString name = word.startsWith(QLatin1String("--")) ? word.mid(2) : QString();
            QString value;
            const int equals = name.indexOf(QLatin1Char('='));
            const bool inlineValue = equals >= 0;
            if (inlineValue) {
                value = name.mid(equals + 1);
                name.truncate(equals);
            }
            const Option *o = command ? findOption(*command, name) : nullptr;
            if (!o) {
                p.error = command ? QStringLiteral("%1 has no option \"%2\"").arg(p.command, word)
                                  : QStringLiteral("unknown option \"%1\"").arg(word);
                return p;
            }
            if (o->takesValue && !inlineValue) {
                if (i + 1 >= words.size()) {
                    p.error = QStringLiteral("%1 needs a value").arg(word);
                    return p;
                }
                value = words[++i];
            } else if (!o->takesValue && inlineValue) {
                p.error = QStringLiteral("%1 takes no value").arg(name);
                return p;
            }
            p.options.insert(name, value);
        }
    }
    return p;
}

} // namespace CommandLine
