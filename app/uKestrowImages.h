#pragma once
// The main window's pictures, drawn by the program: 24 x 24 for the tool bar and the tab pages.
class TImageList;

// Indexes of the pictures AddKestrowImages puts into a list.
enum TKestrowImage {
    kiClose,
    kiObjects,
    kiUsers,
    kiQuery,
    kiActivity,
    kiDB,
    kiServers,
    kiHelp,
    kiAbout,
    kiLanguage
};

void AddKestrowImages(TImageList* list);
