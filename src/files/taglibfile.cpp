// SPDX-License-Identifier: GPL-3.0-or-later
#include "taglibfile.h"

#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <memory>

namespace taglibfile {
namespace {

constexpr auto style = TagLib::AudioProperties::Average;

// The reader FileRef's detection by extension picks for these extensions,
// made the way it makes it; null for any other extension.
std::unique_ptr<TagLib::File> byExtension(TagLib::IOStream &stream, const QString &extension, bool audio)
{
    if (extension == QLatin1String("mp3"))
        return std::make_unique<TagLib::MPEG::File>(&stream, TagLib::ID3v2::FrameFactory::instance(), audio, style);
    if (extension == QLatin1String("m4a") || extension == QLatin1String("mp4"))
        return std::make_unique<TagLib::MP4::File>(&stream, audio, style);
    if (extension == QLatin1String("flac"))
        return std::make_unique<TagLib::FLAC::File>(&stream, TagLib::ID3v2::FrameFactory::instance(), audio, style);
    if (extension == QLatin1String("ogg"))
        return std::make_unique<TagLib::Ogg::Vorbis::File>(&stream, audio, style);
    if (extension == QLatin1String("wav"))
        return std::make_unique<TagLib::RIFF::WAV::File>(&stream, audio, style);
    return nullptr;
}

} // namespace

TagLib::FileRef parse(TagLib::IOStream &stream, const QString &extension, bool audioProperties)
{
    std::unique_ptr<TagLib::File> file = byExtension(stream, extension, audioProperties);
    if (file && file->isValid())
        return TagLib::FileRef(file.release());
    file.reset();
    // A file its extension misnames: FileRef finds that reader invalid
    // again and goes on to the content.
    stream.seek(0);
    return TagLib::FileRef(&stream, audioProperties, style);
}

} // namespace taglibfile
