#include "KeyNames.h"

namespace {

struct Named {
    unsigned code;
    const char* name;
};

const Named kNames[] = {
    {1, "LButton"},      {2, "RButton"},     {3, "Cancel"},     {4, "MButton"},     {8, "Back"},
    {9, "Tab"},          {12, "Clear"},      {13, "Return"},    {16, "Shift"},      {17, "Ctrl"},
    {18, "Alt"},         {19, "Pause"},      {20, "Capital"},   {21, "Kana"},       {23, "Junja"},
    {24, "Final"},       {25, "Kanji"},      {27, "Escape"},    {28, "Convert"},    {29, "NonConvert"},
    {30, "Accept"},      {31, "ModeChange"}, {32, "Space"},     {33, "Prior"},      {34, "Next"},
    {35, "End"},         {36, "Home"},       {37, "Left"},      {38, "Up"},         {39, "Right"},
    {40, "Down"},        {41, "Select"},     {42, "Print"},     {43, "Execute"},    {44, "Snapshot"},
    {45, "Insert"},      {46, "Delete"},     {47, "Help"},      {91, "Win"},        {92, "Win"},
    {93, "CntxtMnu"},    {106, "*"},         {107, "+"},        {108, "Separator"}, {109, "-"},
    {110, "."},          {111, "/"},         {144, "Numlock"},  {145, "Scroll"},    {160, "LShift"},
    {161, "RShift"},     {162, "LControl"},  {163, "RControl"}, {164, "LMenu"},     {165, "RMenu"},
    {229, "ProcessKey"}, {246, "Attn"},      {247, "CrSel"},    {248, "ExSel"},     {249, "EREOF"},
    {250, "Play"},       {251, "Zoom"},      {252, "Noname"},   {253, "PA1"},       {254, "OEM_CLEAR"},
};

} // namespace

std::string keyName(unsigned virtualKey) {
    if (virtualKey >= 96 && virtualKey <= 105) // the number pad's digits
        return std::string(1, static_cast<char>('0' + (virtualKey - 96)));
    if (virtualKey >= 112 && virtualKey <= 135)
        return "F" + std::to_string(virtualKey - 111);
    for (const Named& n : kNames) {
        if (n.code == virtualKey)
            return n.name;
    }
    return std::string(1, static_cast<char>(virtualKey));
}
