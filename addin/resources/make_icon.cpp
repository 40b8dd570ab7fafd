// qm_iconc FILE: writes the product icon (16 x 16 and 32 x 32) as a Windows icon file.
#include <fstream>
#include <iostream>

#include "addin/resources/artwork.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: qm_iconc FILE.ico\n";
        return 2;
    }
    const auto bytes = qm::EncodeIcon({qm::DrawProductIcon(16), qm::DrawProductIcon(32)});
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "qm_iconc: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
