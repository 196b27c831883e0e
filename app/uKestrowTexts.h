#pragma once
// The main window's texts in English (language 0) and Russian (language 1).
class TLumTranslator;

void AddKestrowTexts(TLumTranslator* translator);
