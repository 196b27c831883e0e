#pragma once
// The databases module's pictures, drawn by the program.
class TImageList;

// The tool bar's 16 x 16 pictures: refresh, backup, restore, create, drop, re-create users.
void AddDBToolImages(TImageList* list);
// The list's 24 x 24 database picture.
void AddDBViewImages(TImageList* list);
