// An image file's bytes through text mode, the split into the lines a
// download sends, their records, and the text the log shows.
//
// Properties:
// - text mode turns every CR LF into LF and keeps every other byte;
// - the split stops at the first line that holds only its LF; it refuses the
//   first line of more than 286 characters by its number and gives no lines,
//   else it gives the lines before the stop, each with its LF (the last may
//   lack it), and they join back to the text up to the stop;
// - every record is 287 bytes: its line, then NULs;
// - the shown text has each byte as its Latin-1 character, but no NUL and
//   CR LF LF for an LF; with the line cut every line longer than the cut
//   shows its first characters up to the cut and " ...", and every other
//   line is unchanged.
#include "FuzzCheck.h"
#include "operations/ImageDownload.h"
#include "operations/ImageFile.h"
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace {
constexpr int CUT = 40;  // a short line cut, so that short inputs reach it
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray raw(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray text = ImageFile::ToTextMode(raw);
    FUZZ_CHECK(text == QByteArray(raw).replace("\r\n", "\n"));

    // The lines by their own rule: the stop, and the first line too long.
    qsizetype stop = text.size();
    int tooLong = 0;
    int number = 1;
    for (qsizetype start = 0; start < text.size(); ++number) {
        const qsizetype lf = text.indexOf('\n', start);
        if (lf == start) {
            stop = start;
            break;
        }
        const qsizetype end = lf < 0 ? text.size() : lf + 1;
        if ((lf < 0 ? end : lf) - start > ImageFile::MAX_LINE_CHARS && tooLong == 0)
            tooLong = number;
        start = end;
    }

    ImageFile image;
    const ImageFile::Status status = image.Split(text);
    if (tooLong > 0) {
        FUZZ_CHECK(status == ImageFile::Status::LineTooLong);
        FUZZ_CHECK(image.badLine() == tooLong);
        FUZZ_CHECK(image.lines().empty());
    } else {
        FUZZ_CHECK(status == ImageFile::Status::Ok);
        QByteArray joined;
        const auto& lines = image.lines();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const QByteArray& line = lines[i];
            FUZZ_CHECK(!line.isEmpty() && line != "\n");
            FUZZ_CHECK(line.indexOf('\n') == (i + 1 < lines.size() || line.endsWith('\n') ? line.size() - 1 : -1));
            FUZZ_CHECK(line.size() <= ImageFile::RECORD_SIZE);
            const QByteArray record = ImageDownload::Record(line);
            FUZZ_CHECK(record == line + QByteArray(ImageFile::RECORD_SIZE - line.size(), '\0'));
            joined += line;
        }
        FUZZ_CHECK(joined == text.left(stop));
    }

    const QString shown = ImageFile::DisplayText(text);
    FUZZ_CHECK(shown == QString::fromLatin1(QByteArray(text).replace('\0', "").replace("\n", "\r\n\n")));
    // Each shown line (a file's LF shows as CR LF LF) as it is, or cut.
    const QStringList whole = shown.split(QLatin1String("\r\n\n"));
    const QStringList cut = ImageFile::DisplayText(text, CUT).split(QLatin1String("\r\n\n"));
    FUZZ_CHECK(cut.size() == whole.size());
    for (qsizetype i = 0; i < whole.size(); ++i)
        FUZZ_CHECK(cut[i] == (whole[i].size() > CUT ? whole[i].left(CUT) + QLatin1String(" ...") : whole[i]));
    return 0;
}
