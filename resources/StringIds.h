// Identifiers of the framework's texts in the program's string table.
// Shared by the resource script and the C++ sources.
#pragma once

// Runtime input/output errors
#define SFileNotFound          0xFF00
#define SInvalidFilename       0xFF01
#define STooManyOpenFiles      0xFF02
#define SAccessDenied          0xFF03
#define SEndOfFile             0xFF04
#define SDiskFull              0xFF05
#define SInvalidInput          0xFF06
#define SInOutError            0xFF07
#define SExceptionReport       0xFF08
#define SExceptionTitle        0xFF09

// Framework
#define SListIndexError        0xFE00
#define SResNotFound           0xFE01
#define SWindowClass           0xFE02
#define SCannotShowModal       0xFE03
#define SPropertyOutOfRange    0xFE04
#define SInvalidFileName       0xFE05
#define SInsertLineError       0xFE06
#define SOutOfResources        0xFE07
#define SNoTimers              0xFE08
#define SInvalidBitmap         0xFE09

// Media control
#define SMCINil                0xFD00
#define SMCIUnknownError       0xFD01

// Registry
#define SRegSetDataFailed      0xFC00

// Message dialog captions and buttons
#define SMsgDlgWarning         0xFB00
#define SMsgDlgError           0xFB01
#define SMsgDlgInformation     0xFB02
#define SMsgDlgConfirm         0xFB03
#define SMsgDlgYes             0xFB04
#define SMsgDlgNo              0xFB05
#define SMsgDlgOK              0xFB06
#define SMsgDlgCancel          0xFB07
#define SMsgDlgAbort           0xFB08
#define SMsgDlgRetry           0xFB09
#define SMsgDlgIgnore          0xFB0A
#define SMsgDlgAll             0xFB0B
#define SMsgDlgHelp            0xFB0C

// Bitmap button kinds
#define SOKButton              0xFA00
#define SCancelButton          0xFA01
#define SYesButton             0xFA02
#define SNoButton              0xFA03
#define SHelpButton            0xFA04
#define SCloseButton           0xFA05
#define SIgnoreButton          0xFA06
#define SRetryButton           0xFA07
#define SAbortButton           0xFA08
#define SAllButton             0xFA09

// Bitmap button kind captions that differ from the dialog buttons' texts
#define SAbortKindCaption      0xFA40

// File navigation controls
#define SDefaultFilter         0xF300
