// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <taglib/tag.h>
#include <taglib/wavfile.h>

// The tags of a WAV file as one: TagLib's WAV reader offers only the ID3v2
// tag, so a file tagged with the RIFF INFO chunk most tools write would read
// as untagged and a write would leave the INFO title stale. Reads take the
// ID3v2 value, else the INFO one; writes go to every tag the file has (both
// when it has none).
class WavTags : public TagLib::Tag {
public:
    explicit WavTags(TagLib::RIFF::WAV::File &file);

    // The tag types a save must write: those the file has, both when it has none.
    TagLib::RIFF::WAV::File::TagTypes tagTypes() const { return types_; }

    TagLib::String title() const override;
    TagLib::String artist() const override;
    TagLib::String album() const override;
    TagLib::String comment() const override;
    TagLib::String genre() const override;
    unsigned int year() const override;
    unsigned int track() const override;
    void setTitle(const TagLib::String &s) override;
    void setArtist(const TagLib::String &s) override;
    void setAlbum(const TagLib::String &s) override;
    void setComment(const TagLib::String &s) override;
    void setGenre(const TagLib::String &s) override;
    void setYear(unsigned int i) override;
    void setTrack(unsigned int i) override;

private:
    template <typename Value> Value first(Value (TagLib::Tag::*get)() const) const;
    template <typename Value> void setAll(void (TagLib::Tag::*set)(Value), Value value);

    TagLib::Tag *tags_[2];
    TagLib::RIFF::WAV::File::TagTypes types_;
};
