// quillon_fwimage: builds a firmware image that the virtual cameras accept for an SDK upgrade.
//   quillon_fwimage --model Brio --version 1.0.4 [--payload file] -o out.img

#include "sim/camera/FirmwareImage.h"
#include "sim/camera/SimConfig.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char **argv)
{
    std::string model, version, payloadPath, outPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--model")
            model = argv[i + 1];
        else if (opt == "--version")
            version = argv[i + 1];
        else if (opt == "--payload")
            payloadPath = argv[i + 1];
        else if (opt == "-o")
            outPath = argv[i + 1];
    }
    const sim::ModelInfo *info = sim::modelByName(model);
    if (!info || version.empty() || version.size() > 15 || outPath.empty()) {
        std::fprintf(stderr,
                     "usage: %s --model Alta|Brio|Cima|Dune|Eske|EskeAlias --version <1..15 chars> "
                     "[--payload file] -o out.img\n",
                     argv[0]);
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
        const std::string text = "virtual firmware " + model + " " + version + "\n";
        payload.assign(text.begin(), text.end());
    }
    const std::vector<uint8_t> image = sim::buildFirmwareImage(info->code, version, payload);
    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(image.data()), std::streamsize(image.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], outPath.c_str());
        return 1;
    }
    return 0;
}
