// SPDX-License-Identifier: GPL-3.0-or-later
// Fills a tag cache with made-up entries (files that do not exist, each with a
// title and an artist), for bench-cache.sh's memory run: a cache as large as a
// big collection's, of which a small collect looks at a few pages.
//   bench-cachefill CACHE_FILE COUNT
#include "library/tagcache.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CACHE_FILE COUNT\n", argv[0]);
        return 2;
    }
    const qint64 count = QByteArray(argv[2]).toLongLong();
    TagCache cache(QString::fromLocal8Bit(argv[1]), 1LL << 40);
    if (!cache.usable())
        return 1;
    for (qint64 i = 0; i < count; ++i) {
        CacheKey key;
        key.file = {1, quint64(i + 1)};
        key.size = 40000 + i % 5000;
        key.modifiedNs = key.changedNs = 1700000000LL * 1000000000;
        key.lookedNs = key.changedNs + 1000000000LL;
        cache.store(key, {{"name", QStringLiteral("Title of track %1").arg(i)},
                          {"artist", QStringLiteral("Artist %1").arg(i % 700)}});
    }
    cache.flush();
    std::printf("entries=%lld\n", count);
    return 0;
}
