// samepixels A B: exit 0 when the two pictures decode to the same size and the same pixels
// (colour and alpha), 1 when they differ, 2 when one can't be read. PNG files with equal pixels
// differ in their bytes from one zlib or libpng to the next, so the icons are compared decoded.
#include <QCoreApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);  // the picture formats, without a screen
    if (argc != 3) {
        std::fprintf(stderr, "usage: samepixels A B\n");
        return 2;
    }
    QImage pictures[2];
    for (int i = 0; i < 2; ++i) {
        if (!pictures[i].load(QString::fromLocal8Bit(argv[i + 1]))) {
            std::fprintf(stderr, "samepixels: %s is no picture\n", argv[i + 1]);
            return 2;
        }
        // One format for both: a PNG with a palette and one with RGBA may hold the same pixels.
        pictures[i] = pictures[i].convertToFormat(QImage::Format_ARGB32);
    }
    if (pictures[0].size() != pictures[1].size()) {
        std::printf("sizes differ\n");
        return 1;
    }
    for (int y = 0; y < pictures[0].height(); ++y) {
        for (int x = 0; x < pictures[0].width(); ++x) {
            if (pictures[0].pixel(x, y) != pictures[1].pixel(x, y)) {
                std::printf("first difference at %d,%d\n", x, y);
                return 1;
            }
        }
    }
    return 0;
}
