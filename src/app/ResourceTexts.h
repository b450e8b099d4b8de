#pragma once

// Texts that the Windows resource script carries as well as the core: the
// main window's first title, the string table's and the address dialog's. They are macros, and this file has
// no includes, because the resource compiler reads it through the
// preprocessor; the core spells each as u8"" TEXT.
#define POREMISU_TEXT_PRODUCT_WORD "ぽれみす"
#define POREMISU_TEXT_URL_INPUT_CAPTION "URL入力"
#define POREMISU_TEXT_VERSION_LABEL "ぽれみす　Version"
#define POREMISU_TEXT_SYSMENU_URL_INPUT "URL入力 (&U)..."
#define POREMISU_TEXT_SYSMENU_MENU_SET "MENU SET(&V)"
#define POREMISU_TEXT_SYSMENU_HELP "HELP(&H)"
