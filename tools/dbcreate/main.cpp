// dbcreate [folder]: makes the work folder of a first start (the database and
// the text files the system expects), in the current directory by default.
// Files that exist are kept as they are.
#include "data/WorkFolder.h"

#include <QCoreApplication>
#include <cstdio>
#include <exception>
#include <sys/stat.h>

int main(int argc, char **argv)
{
    ::umask(077); // the work folder is the operator's alone, as the desk keeps it
    QCoreApplication app(argc, argv);
    const std::string folder = argc > 1 ? argv[1] : ".";
    if (argc > 2 || folder == "-h" || folder == "--help") {
        std::fprintf(stderr, "usage: dbcreate [folder]\n");
        return 2;
    }
    try {
        const workfolder::Result r = workfolder::create(folder);
        for (const std::string &f : r.created)
            std::printf("created %s\n", f.c_str());
        for (const std::string &f : r.kept)
            std::printf("kept    %s\n", f.c_str());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "dbcreate: %s\n", e.what());
        return 1;
    }
    return 0;
}
