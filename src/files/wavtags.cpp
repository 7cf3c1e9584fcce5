// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavtags.h"

#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>

using WavFile = TagLib::RIFF::WAV::File;

WavTags::WavTags(WavFile &file)
    : tags_{file.ID3v2Tag(), file.InfoTag()},
      types_(static_cast<WavFile::TagTypes>((file.hasID3v2Tag() ? WavFile::ID3v2 : 0) |
                                            (file.hasInfoTag() ? WavFile::Info : 0)))
{
    if (types_ == WavFile::NoTags)
        types_ = WavFile::AllTags;
}

template <typename Value> Value WavTags::first(Value (TagLib::Tag::*get)() const) const
{
    for (TagLib::Tag *tag : tags_) {
        if (!tag)
            continue;
        const Value value = (tag->*get)();
        if (value != Value())
            return value;
    }
    return Value();
}

template <typename Value> void WavTags::setAll(void (TagLib::Tag::*set)(Value), Value value)
{
    if ((types_ & WavFile::ID3v2) && tags_[0])
        (tags_[0]->*set)(value);
    if ((types_ & WavFile::Info) && tags_[1])
        (tags_[1]->*set)(value);
}

TagLib::String WavTags::title() const { return first(&TagLib::Tag::title); }
TagLib::String WavTags::artist() const { return first(&TagLib::Tag::artist); }
TagLib::String WavTags::album() const { return first(&TagLib::Tag::album); }
TagLib::String WavTags::comment() const { return first(&TagLib::Tag::comment); }
TagLib::String WavTags::genre() const { return first(&TagLib::Tag::genre); }
unsigned int WavTags::year() const { return first(&TagLib::Tag::year); }
unsigned int WavTags::track() const { return first(&TagLib::Tag::track); }
void WavTags::setTitle(const TagLib::String &s) { setAll<const TagLib::String &>(&TagLib::Tag::setTitle, s); }
void WavTags::setArtist(const TagLib::String &s) { setAll<const TagLib::String &>(&TagLib::Tag::setArtist, s); }
void WavTags::setAlbum(const TagLib::String &s) { setAll<const TagLib::String &>(&TagLib::Tag::setAlbum, s); }
void WavTags::setComment(const TagLib::String &s) { setAll<const TagLib::String &>(&TagLib::Tag::setComment, s); }
void WavTags::setGenre(const TagLib::String &s) { setAll<const TagLib::String &>(&TagLib::Tag::setGenre, s); }
void WavTags::setYear(unsigned int i) { setAll<unsigned int>(&TagLib::Tag::setYear, i); }
void WavTags::setTrack(unsigned int i) { setAll<unsigned int>(&TagLib::Tag::setTrack, i); }
