// zbmconv [--level L] <input> <output>
//
// Reads any picture Qt can read (a zbm container, a plain BMP, PNG, ...) and
// writes it as a plain BMP or as a zbm container. The output's extension
// decides, as everywhere in the program: ".bmp" or none gives a plain BMP,
// any other extension the container.

#include "periphery/ZLibBMP.h"
#include "periphery/ZLibBMPRegistration.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

#include <cstdio>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

void complain(const QString &message)
{
    std::fprintf(stderr, "zbmconv: %s\n", qPrintable(message));
}

bool parseLevel(const QString &text, TZLIBBitmap::TCompressionLevel &level)
{
    static const char *const names[] = {"none", "fastest", "default", "max"};
    for (int i = 0; i < 4; ++i) {
        if (text == QLatin1String(names[i]) || text == QString::number(i)) {
            level = TZLIBBitmap::TCompressionLevel(i);
            return true;
        }
    }
    return false;
}

bool load(const QString &fileName, QImage &image, QString &error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 kann nicht geöffnet werden: %2").arg(fileName, file.errorString());
        return false;
    }
    // A container gets the container's own error messages; everything else
    // goes through Qt's image loader, which knows zbm as well.
    if (TZLIBBitmap::HasSignature(file)) {
        TZLIBBitmap bitmap;
        if (!bitmap.LoadFromStream(file)) {
            error = QStringLiteral("%1: %2").arg(fileName, bitmap.ErrorString());
            return false;
        }
        image = std::move(bitmap);
        return true;
    }
    QImageReader reader(&file);
    if (!reader.read(&image)) {
        error = QStringLiteral("%1: %2").arg(fileName, reader.errorString());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zbmconv"));
    tarnvik::registerZbmFormat();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Converts a picture into a plain BMP or a ZLIB compressed bitmap.\n"
        "The output's extension decides: \".bmp\" or none writes a plain BMP,\n"
        "any other extension (\".zbm\") the compressed container."));
    parser.addHelpOption();
    const QCommandLineOption levelOption(
        QStringLiteral("level"),
        QStringLiteral("Compression of a container: none, fastest, default or max (or 0-3). Default: max."),
        QStringLiteral("level"), QStringLiteral("max"));
    parser.addOption(levelOption);
    parser.addPositionalArgument(QStringLiteral("input"), QStringLiteral("Picture to read."));
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("File to write."));
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    TZLIBBitmap::TCompressionLevel level;
    if (files.size() != 2 || !parseLevel(parser.value(levelOption), level)) {
        complain(files.size() != 2 ? QStringLiteral("expects an input and an output file (see --help).")
                                   : QStringLiteral("unknown level \"%1\" (none, fastest, default, max).")
                                         .arg(parser.value(levelOption)));
        return ExitUsage;
    }

    QImage image;
    QString error;
    if (!load(files[0], image, error)) {
        complain(error);
        return ExitFailure;
    }
    TZLIBBitmap bitmap(image);
    bitmap.SetCompressionLevel(level);
    if (!bitmap.SaveToFile(files[1])) {
        complain(bitmap.ErrorString());
        return ExitFailure;
    }
    return 0;
}
