// quillon_fwimage: builds a firmware image that the virtual cameras accept for an upgrade, or a
// boot loader that a virtual camera in its USB loader takes.
//   quillon_fwimage --model Brio --version 1.0.4 [--payload file] -o out.img
//   quillon_fwimage --boot --model Alta --flash nand [--payload file] -o alta-nand-loader.bin

#include "sim/camera/BootImage.h"
#include "sim/camera/FirmwareImage.h"
#include "sim/camera/SimConfig.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char **argv)
{
    std::string model, version, flash, payloadPath, outPath;
    bool boot = false, understood = true;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--boot") {
            boot = true;
            continue;
        }
        std::string *value = opt == "--model"     ? &model
                             : opt == "--version" ? &version
                             : opt == "--flash"   ? &flash
                             : opt == "--payload" ? &payloadPath
                             : opt == "-o"        ? &outPath
                                                  : nullptr;
        if (!value || i + 1 >= argc) {
            understood = false;
            break;
        }
        *value = argv[++i];
    }
    const sim::ModelInfo *info = sim::modelByName(model);
    const bool complete = boot ? (flash == "nand" || flash == "nor") && version.empty()
                               : !version.empty() && version.size() <= 15 && flash.empty();
    if (!understood || !info || !complete || outPath.empty()) {
        std::fprintf(stderr,
                     "usage: %s --model Alta|Brio|Cima|Dune|Eske|EskeAlias --version <1..15 chars> "
                     "[--payload file] -o out.img\n"
                     "       %s --boot --model <model> --flash nand|nor [--payload file] -o loader.bin\n",
                     argv[0], argv[0]);
        return 2;
    }
    std::vector<uint8_t> payload;
    if (!payloadPath.empty()) {
        std::ifstream in(payloadPath, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], payloadPath.c_str());
            return 1;
        }
        payload.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (payload.empty()) {
        const std::string text = boot ? "virtual boot loader " + model + " " + flash + "\n"
                                      : "virtual firmware " + model + " " + version + "\n";
        payload.assign(text.begin(), text.end());
    }
    const std::vector<uint8_t> image =
        boot ? sim::buildBootImage(info->code, flash, payload) : sim::buildFirmwareImage(info->code, version, payload);
    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(image.data()), std::streamsize(image.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], outPath.c_str());
        return 1;
    }
    return 0;
}
