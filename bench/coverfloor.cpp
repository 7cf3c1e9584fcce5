// SPDX-License-Identifier: GPL-3.0-or-later
// The floor that cover runs over a folder of music files are measured
// against: TagLib alone, with no checks around it.
//   bench-coverfloor add DIR IMAGE      embeds the JPEG image as the front cover of each file and saves it
//   bench-coverfloor extract DIR OUT    writes each distinct first picture of the files into OUT once
// Files whose format holds no pictures (WAV) are passed over, as the program passes them over.
// Prints the number of files and the time per file on standard output.
#include "floorfiles.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_set>

namespace {

TagLib::ByteVector readFile(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return TagLib::ByteVector(bytes.data(), static_cast<unsigned int>(bytes.size()));
}

TagLib::FLAC::Picture *flacPicture(const TagLib::ByteVector &image)
{
    auto *picture = new TagLib::FLAC::Picture;
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType("image/jpeg");
    picture->setData(image);
    return picture;
}

// Whether the file was handled (it holds pictures).
bool add(const std::string &path, const TagLib::ByteVector &image)
{
    const std::string extension = std::filesystem::path(path).extension().string();
    if (extension == ".mp3") {
        TagLib::MPEG::File file(path.c_str());
        auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        frame->setMimeType("image/jpeg");
        frame->setPicture(image);
        file.ID3v2Tag(true)->removeFrames("APIC");
        file.ID3v2Tag()->addFrame(frame);
        file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3);
    } else if (extension == ".flac") {
        TagLib::FLAC::File file(path.c_str());
        file.removePictures();
        file.addPicture(flacPicture(image));
        file.save();
    } else if (extension == ".ogg") {
        TagLib::Ogg::Vorbis::File file(path.c_str());
        file.tag()->removeAllPictures();
        file.tag()->addPicture(flacPicture(image));
        file.save();
    } else if (extension == ".m4a") {
        TagLib::MP4::File file(path.c_str());
        TagLib::MP4::CoverArtList list;
        list.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG, image));
        file.tag()->setItem("covr", TagLib::MP4::Item(list));
        file.save();
    } else {
        return false;
    }
    return true;
}

TagLib::ByteVector firstPicture(const std::string &path)
{
    const std::string extension = std::filesystem::path(path).extension().string();
    if (extension == ".mp3") {
        TagLib::MPEG::File file(path.c_str());
        if (file.hasID3v2Tag())
            for (TagLib::ID3v2::Frame *frame : file.ID3v2Tag()->frameList("APIC"))
                return static_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame)->picture();
    } else if (extension == ".flac") {
        TagLib::FLAC::File file(path.c_str());
        for (TagLib::FLAC::Picture *picture : file.pictureList())
            return picture->data();
    } else if (extension == ".ogg") {
        TagLib::Ogg::Vorbis::File file(path.c_str());
        for (TagLib::FLAC::Picture *picture : file.tag()->pictureList())
            return picture->data();
    } else if (extension == ".m4a") {
        TagLib::MP4::File file(path.c_str());
        if (file.tag() && file.tag()->contains("covr"))
            for (const TagLib::MP4::CoverArt &art : file.tag()->item("covr").toCoverArtList())
                return art.data();
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4 || (std::strcmp(argv[1], "add") != 0 && std::strcmp(argv[1], "extract") != 0)) {
        std::fprintf(stderr, "usage: %s add DIR IMAGE | extract DIR OUT\n", argv[0]);
        return 2;
    }
    const bool adding = std::strcmp(argv[1], "add") == 0;
    const auto start = std::chrono::steady_clock::now();
    const TagLib::ByteVector image = adding ? readFile(argv[3]) : TagLib::ByteVector();
    std::size_t count = 0;
    std::unordered_set<std::size_t> written; // the hashes of the pictures written
    for (const std::filesystem::path &file : floorfiles::musicFilesBelow(argv[2])) {
        if (adding) {
            count += add(file.string(), image) ? 1 : 0;
            continue;
        }
        const TagLib::ByteVector picture = firstPicture(file.string());
        ++count;
        if (picture.isEmpty() || !written.insert(std::hash<std::string_view>()({picture.data(), picture.size()})).second)
            continue;
        std::ofstream out(std::string(argv[3]) + "/" + std::to_string(written.size()) + ".jpg", std::ios::binary);
        out.write(picture.data(), picture.size());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu files, %.3f ms per file\n", count, count ? seconds * 1000 / double(count) : 0.0);
    return 0;
}
