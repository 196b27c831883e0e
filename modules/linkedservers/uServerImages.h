#pragma once
// The linked servers module's pictures, drawn by the program.
class TImageList;

// The tool bar's 16 x 16 pictures: refresh, add, drop.
void AddServerToolImages(TImageList* list);
// The list's 24 x 24 server picture.
void AddServerViewImages(TImageList* list);
