#pragma once
// Records and constants of the TWAIN 2.1 protocol as a Linux data source and
// manager exchange them: 2-byte packing, 32-bit TW_INT32/TW_UINT32, pointer
// sized TW_HANDLE and TW_MEMREF. Only what the data source and its tests use.
#include <cstddef>
#include <cstdint>
#include <cstring>

using TW_INT8 = int8_t;
using TW_INT16 = int16_t;
using TW_INT32 = int32_t;
using TW_UINT8 = uint8_t;
using TW_UINT16 = uint16_t;
using TW_UINT32 = uint32_t;
using TW_BOOL = uint16_t;
using TW_HANDLE = void*;
using TW_MEMREF = void*;
using TW_STR32 = char[34];
using TW_STR64 = char[66];
using TW_STR128 = char[130];
using TW_STR255 = char[256];

#pragma pack(push, 2)

struct TW_FIX32 {
  TW_INT16 Whole;
  TW_UINT16 Frac;
};

struct TW_FRAME {
  TW_FIX32 Left;
  TW_FIX32 Top;
  TW_FIX32 Right;
  TW_FIX32 Bottom;
};

struct TW_VERSION {
  TW_UINT16 MajorNum;
  TW_UINT16 MinorNum;
  TW_UINT16 Language;
  TW_UINT16 Country;
  TW_STR32 Info;
};

struct TW_IDENTITY {
  TW_UINT32 Id;
  TW_VERSION Version;
  TW_UINT16 ProtocolMajor;
  TW_UINT16 ProtocolMinor;
  TW_UINT32 SupportedGroups;
  TW_STR32 Manufacturer;
  TW_STR32 ProductFamily;
  TW_STR32 ProductName;
};

struct TW_ONEVALUE {
  TW_UINT16 ItemType;
  TW_UINT32 Item;
};

// A one-value record whose item is a frame (ItemType, then the 16-byte frame).
struct TW_ONEVALUE_FRAME {
  TW_UINT16 ItemType;
  TW_FRAME Item;
};

struct TW_ENUMERATION {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT32 CurrentIndex;
  TW_UINT32 DefaultIndex;
  TW_UINT8 ItemList[1];
};

struct TW_ARRAY {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT8 ItemList[1];
};

struct TW_RANGE {
  TW_UINT16 ItemType;
  TW_UINT32 MinValue;
  TW_UINT32 MaxValue;
  TW_UINT32 StepSize;
  TW_UINT32 DefaultValue;
  TW_UINT32 CurrentValue;
};

struct TW_CAPABILITY {
  TW_UINT16 Cap;
  TW_UINT16 ConType;
  TW_HANDLE hContainer;
};

struct TW_STATUS {
  TW_UINT16 ConditionCode;
  TW_UINT16 Data;
};

struct TW_USERINTERFACE {
  TW_BOOL ShowUI;
  TW_BOOL ModalUI;
  TW_HANDLE hParent;
};

struct TW_PENDINGXFERS {
  TW_UINT16 Count;
  TW_UINT32 EOJ;
};

struct TW_SETUPFILEXFER {
  TW_STR255 FileName;
  TW_UINT16 Format;
  TW_INT16 VRefNum;
};

struct TW_SETUPMEMXFER {
  TW_UINT32 MinBufSize;
  TW_UINT32 MaxBufSize;
  TW_UINT32 Preferred;
};

struct TW_IMAGEINFO {
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  TW_INT32 ImageWidth;
  TW_INT32 ImageLength;
  TW_INT16 SamplesPerPixel;
  TW_INT16 BitsPerSample[8];
  TW_INT16 BitsPerPixel;
  TW_BOOL Planar;
  TW_INT16 PixelType;
  TW_UINT16 Compression;
};

struct TW_IMAGELAYOUT {
  TW_FRAME Frame;
  TW_UINT32 DocumentNumber;
  TW_UINT32 PageNumber;
  TW_UINT32 FrameNumber;
};

struct TW_MEMORY {
  TW_UINT32 Flags;
  TW_UINT32 Length;
  TW_MEMREF TheMem;
};

struct TW_IMAGEMEMXFER {
  TW_UINT16 Compression;
  TW_UINT32 BytesPerRow;
  TW_UINT32 Columns;
  TW_UINT32 Rows;
  TW_UINT32 XOffset;
  TW_UINT32 YOffset;
  TW_UINT32 BytesWritten;
  TW_MEMORY Memory;
};

struct TW_EVENT {
  TW_MEMREF pEvent;
  TW_UINT16 TWMessage;
};

struct TW_CUSTOMDSDATA {
  TW_UINT32 InfoLength;
  TW_HANDLE hData;
};

using DSMENTRYPROC = TW_UINT16 (*)(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16, TW_UINT16,
                                   TW_MEMREF);
using DSENTRYPROC = TW_UINT16 (*)(TW_IDENTITY*, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);
using DSM_MEMALLOCATE = TW_HANDLE (*)(TW_UINT32);
using DSM_MEMFREE = void (*)(TW_HANDLE);
using DSM_MEMLOCK = TW_MEMREF (*)(TW_HANDLE);
using DSM_MEMUNLOCK = void (*)(TW_HANDLE);

struct TW_ENTRYPOINT {
  TW_UINT32 Size;
  DSMENTRYPROC DSM_Entry;
  DSM_MEMALLOCATE DSM_MemAllocate;
  DSM_MEMFREE DSM_MemFree;
  DSM_MEMLOCK DSM_MemLock;
  DSM_MEMUNLOCK DSM_MemUnlock;
};

#pragma pack(pop)

static_assert(sizeof(TW_FIX32) == 4);
static_assert(sizeof(TW_FRAME) == 16);
static_assert(sizeof(TW_VERSION) == 42);
static_assert(sizeof(TW_IDENTITY) == 156);
static_assert(sizeof(TW_ONEVALUE) == 6);
static_assert(sizeof(TW_ONEVALUE_FRAME) == 18);
static_assert(offsetof(TW_ENUMERATION, ItemList) == 14);
static_assert(sizeof(TW_ENUMERATION) == 16);
static_assert(offsetof(TW_ARRAY, ItemList) == 6);
static_assert(sizeof(TW_ARRAY) == 8);
static_assert(sizeof(TW_RANGE) == 22);
static_assert(sizeof(TW_CAPABILITY) == 4 + sizeof(void*));
static_assert(sizeof(TW_STATUS) == 4);
static_assert(sizeof(TW_USERINTERFACE) == 4 + sizeof(void*));
static_assert(sizeof(TW_PENDINGXFERS) == 6);
static_assert(sizeof(TW_SETUPFILEXFER) == 260);
static_assert(sizeof(TW_SETUPMEMXFER) == 12);
static_assert(sizeof(TW_IMAGEINFO) == 42);
static_assert(sizeof(TW_IMAGELAYOUT) == 28);
static_assert(sizeof(TW_MEMORY) == 8 + sizeof(void*));
static_assert(sizeof(TW_IMAGEMEMXFER) == 34 + sizeof(void*));
static_assert(sizeof(TW_EVENT) == 2 + sizeof(void*));
static_assert(sizeof(TW_CUSTOMDSDATA) == 4 + sizeof(void*));
static_assert(sizeof(TW_ENTRYPOINT) == 4 + 5 * sizeof(void*));

// Data groups and the protocol flags of SupportedGroups.
constexpr TW_UINT32 DG_CONTROL = 0x0001;
constexpr TW_UINT32 DG_IMAGE = 0x0002;
constexpr TW_UINT32 DG_AUDIO = 0x0004;
constexpr TW_UINT32 DF_DSM2 = 0x10000000;
constexpr TW_UINT32 DF_APP2 = 0x20000000;
constexpr TW_UINT32 DF_DS2 = 0x40000000;

// Data argument types.
constexpr TW_UINT16 DAT_NULL = 0x0000;
constexpr TW_UINT16 DAT_CAPABILITY = 0x0001;
constexpr TW_UINT16 DAT_EVENT = 0x0002;
constexpr TW_UINT16 DAT_IDENTITY = 0x0003;
constexpr TW_UINT16 DAT_PARENT = 0x0004;
constexpr TW_UINT16 DAT_PENDINGXFERS = 0x0005;
constexpr TW_UINT16 DAT_SETUPMEMXFER = 0x0006;
constexpr TW_UINT16 DAT_SETUPFILEXFER = 0x0007;
constexpr TW_UINT16 DAT_STATUS = 0x0008;
constexpr TW_UINT16 DAT_USERINTERFACE = 0x0009;
constexpr TW_UINT16 DAT_XFERGROUP = 0x000a;
constexpr TW_UINT16 DAT_CUSTOMDSDATA = 0x000c;
constexpr TW_UINT16 DAT_DEVICEEVENT = 0x000d;
constexpr TW_UINT16 DAT_FILESYSTEM = 0x000e;
constexpr TW_UINT16 DAT_PASSTHRU = 0x000f;
constexpr TW_UINT16 DAT_CALLBACK = 0x0010;
constexpr TW_UINT16 DAT_STATUSUTF8 = 0x0011;
constexpr TW_UINT16 DAT_IMAGEINFO = 0x0101;
constexpr TW_UINT16 DAT_IMAGELAYOUT = 0x0102;
constexpr TW_UINT16 DAT_IMAGEMEMXFER = 0x0103;
constexpr TW_UINT16 DAT_IMAGENATIVEXFER = 0x0104;
constexpr TW_UINT16 DAT_IMAGEFILEXFER = 0x0105;
constexpr TW_UINT16 DAT_CIECOLOR = 0x0106;
constexpr TW_UINT16 DAT_GRAYRESPONSE = 0x0107;
constexpr TW_UINT16 DAT_RGBRESPONSE = 0x0108;
constexpr TW_UINT16 DAT_JPEGCOMPRESSION = 0x0109;
constexpr TW_UINT16 DAT_PALETTE8 = 0x010a;
constexpr TW_UINT16 DAT_EXTIMAGEINFO = 0x010b;
constexpr TW_UINT16 DAT_ENTRYPOINT = 0x0403;

// Messages.
constexpr TW_UINT16 MSG_NULL = 0x0000;
constexpr TW_UINT16 MSG_GET = 0x0001;
constexpr TW_UINT16 MSG_GETCURRENT = 0x0002;
constexpr TW_UINT16 MSG_GETDEFAULT = 0x0003;
constexpr TW_UINT16 MSG_GETFIRST = 0x0004;
constexpr TW_UINT16 MSG_GETNEXT = 0x0005;
constexpr TW_UINT16 MSG_SET = 0x0006;
constexpr TW_UINT16 MSG_RESET = 0x0007;
constexpr TW_UINT16 MSG_QUERYSUPPORT = 0x0008;
constexpr TW_UINT16 MSG_XFERREADY = 0x0101;
constexpr TW_UINT16 MSG_CLOSEDSREQ = 0x0102;
constexpr TW_UINT16 MSG_CLOSEDSOK = 0x0103;
constexpr TW_UINT16 MSG_DEVICEEVENT = 0x0104;
constexpr TW_UINT16 MSG_OPENDSM = 0x0301;
constexpr TW_UINT16 MSG_CLOSEDSM = 0x0302;
constexpr TW_UINT16 MSG_OPENDS = 0x0401;
constexpr TW_UINT16 MSG_CLOSEDS = 0x0402;
constexpr TW_UINT16 MSG_USERSELECT = 0x0403;
constexpr TW_UINT16 MSG_DISABLEDS = 0x0501;
constexpr TW_UINT16 MSG_ENABLEDS = 0x0502;
constexpr TW_UINT16 MSG_ENABLEDSUIONLY = 0x0503;
constexpr TW_UINT16 MSG_PROCESSEVENT = 0x0601;
constexpr TW_UINT16 MSG_ENDXFER = 0x0701;
constexpr TW_UINT16 MSG_STOPFEEDER = 0x0702;
constexpr TW_UINT16 MSG_RESETALL = 0x0a01;

// Return codes.
constexpr TW_UINT16 TWRC_SUCCESS = 0;
constexpr TW_UINT16 TWRC_FAILURE = 1;
constexpr TW_UINT16 TWRC_CHECKSTATUS = 2;
constexpr TW_UINT16 TWRC_CANCEL = 3;
constexpr TW_UINT16 TWRC_DSEVENT = 4;
constexpr TW_UINT16 TWRC_NOTDSEVENT = 5;
constexpr TW_UINT16 TWRC_XFERDONE = 6;
constexpr TW_UINT16 TWRC_ENDOFLIST = 7;

// Condition codes.
constexpr TW_UINT16 TWCC_SUCCESS = 0;
constexpr TW_UINT16 TWCC_BUMMER = 1;
constexpr TW_UINT16 TWCC_LOWMEMORY = 2;
constexpr TW_UINT16 TWCC_NODS = 3;
constexpr TW_UINT16 TWCC_MAXCONNECTIONS = 4;
constexpr TW_UINT16 TWCC_OPERATIONERROR = 5;
constexpr TW_UINT16 TWCC_BADCAP = 6;
constexpr TW_UINT16 TWCC_BADPROTOCOL = 9;
constexpr TW_UINT16 TWCC_BADVALUE = 10;
constexpr TW_UINT16 TWCC_SEQERROR = 11;
constexpr TW_UINT16 TWCC_BADDEST = 12;
constexpr TW_UINT16 TWCC_CAPUNSUPPORTED = 13;
constexpr TW_UINT16 TWCC_CAPBADOPERATION = 14;
constexpr TW_UINT16 TWCC_CAPSEQERROR = 15;
constexpr TW_UINT16 TWCC_DENIED = 16;
constexpr TW_UINT16 TWCC_FILEEXISTS = 17;
constexpr TW_UINT16 TWCC_FILENOTFOUND = 18;
constexpr TW_UINT16 TWCC_FILEWRITEERROR = 22;

// Container forms.
constexpr TW_UINT16 TWON_ARRAY = 3;
constexpr TW_UINT16 TWON_ENUMERATION = 4;
constexpr TW_UINT16 TWON_ONEVALUE = 5;
constexpr TW_UINT16 TWON_RANGE = 6;

// Item types.
constexpr TW_UINT16 TWTY_INT8 = 0;
constexpr TW_UINT16 TWTY_INT16 = 1;
constexpr TW_UINT16 TWTY_INT32 = 2;
constexpr TW_UINT16 TWTY_UINT8 = 3;
constexpr TW_UINT16 TWTY_UINT16 = 4;
constexpr TW_UINT16 TWTY_UINT32 = 5;
constexpr TW_UINT16 TWTY_BOOL = 6;
constexpr TW_UINT16 TWTY_FIX32 = 7;
constexpr TW_UINT16 TWTY_FRAME = 8;
constexpr TW_UINT16 TWTY_STR32 = 9;
constexpr TW_UINT16 TWTY_STR64 = 10;
constexpr TW_UINT16 TWTY_STR128 = 11;
constexpr TW_UINT16 TWTY_STR255 = 12;
constexpr TW_UINT16 TWTY_STR1024 = 13;
constexpr TW_UINT16 TWTY_UNI512 = 14;

// Operations a capability supports (MSG_QUERYSUPPORT).
constexpr TW_INT32 TWQC_GET = 0x0001;
constexpr TW_INT32 TWQC_SET = 0x0002;
constexpr TW_INT32 TWQC_GETDEFAULT = 0x0004;
constexpr TW_INT32 TWQC_GETCURRENT = 0x0008;
constexpr TW_INT32 TWQC_RESET = 0x0010;

// Capabilities.
constexpr TW_UINT16 CAP_XFERCOUNT = 0x0001;
constexpr TW_UINT16 ICAP_COMPRESSION = 0x0100;
constexpr TW_UINT16 ICAP_PIXELTYPE = 0x0101;
constexpr TW_UINT16 ICAP_UNITS = 0x0102;
constexpr TW_UINT16 ICAP_XFERMECH = 0x0103;
constexpr TW_UINT16 CAP_FEEDERENABLED = 0x1002;
constexpr TW_UINT16 CAP_FEEDERLOADED = 0x1003;
constexpr TW_UINT16 CAP_SUPPORTEDCAPS = 0x1005;
constexpr TW_UINT16 CAP_AUTOFEED = 0x1007;
constexpr TW_UINT16 CAP_INDICATORS = 0x100b;
constexpr TW_UINT16 CAP_PAPERDETECTABLE = 0x100d;
constexpr TW_UINT16 CAP_UICONTROLLABLE = 0x100e;
constexpr TW_UINT16 CAP_DEVICEONLINE = 0x100f;
constexpr TW_UINT16 CAP_DUPLEX = 0x1012;
constexpr TW_UINT16 CAP_DUPLEXENABLED = 0x1013;
constexpr TW_UINT16 CAP_ENABLEDSUIONLY = 0x1014;
constexpr TW_UINT16 CAP_CUSTOMDSDATA = 0x1015;
constexpr TW_UINT16 CAP_CUSTOMINTERFACEGUID = 0x103c;
constexpr TW_UINT16 ICAP_BRIGHTNESS = 0x1101;
constexpr TW_UINT16 ICAP_CONTRAST = 0x1103;
constexpr TW_UINT16 ICAP_GAMMA = 0x1108;
constexpr TW_UINT16 ICAP_IMAGEFILEFORMAT = 0x110c;
constexpr TW_UINT16 ICAP_ORIENTATION = 0x1110;
constexpr TW_UINT16 ICAP_PHYSICALWIDTH = 0x1111;
constexpr TW_UINT16 ICAP_PHYSICALHEIGHT = 0x1112;
constexpr TW_UINT16 ICAP_FRAMES = 0x1114;
constexpr TW_UINT16 ICAP_XRESOLUTION = 0x1118;
constexpr TW_UINT16 ICAP_YRESOLUTION = 0x1119;
constexpr TW_UINT16 ICAP_MAXFRAMES = 0x111a;
constexpr TW_UINT16 ICAP_BITORDER = 0x111c;
constexpr TW_UINT16 ICAP_PIXELFLAVOR = 0x111f;
constexpr TW_UINT16 ICAP_PLANARCHUNKY = 0x1120;
constexpr TW_UINT16 ICAP_SUPPORTEDSIZES = 0x1122;
constexpr TW_UINT16 ICAP_THRESHOLD = 0x1123;
constexpr TW_UINT16 ICAP_BITDEPTH = 0x112b;
constexpr TW_UINT16 ICAP_MINIMUMHEIGHT = 0x1130;
constexpr TW_UINT16 ICAP_MINIMUMWIDTH = 0x1131;
constexpr TW_UINT16 ICAP_JPEGQUALITY = 0x1153;

// Capability values.
constexpr TW_UINT16 TWCP_NONE = 0;
constexpr TW_UINT16 TWPC_CHUNKY = 0;
constexpr TW_UINT16 TWUN_INCHES = 0;
constexpr TW_UINT16 TWUN_CENTIMETERS = 1;
constexpr TW_UINT16 TWUN_PICAS = 2;
constexpr TW_UINT16 TWUN_POINTS = 3;
constexpr TW_UINT16 TWUN_TWIPS = 4;
constexpr TW_UINT16 TWUN_PIXELS = 5;
constexpr TW_UINT16 TWSX_NATIVE = 0;
constexpr TW_UINT16 TWSX_FILE = 1;
constexpr TW_UINT16 TWSX_MEMORY = 2;
constexpr TW_UINT16 TWPT_BW = 0;
constexpr TW_UINT16 TWPT_GRAY = 1;
constexpr TW_UINT16 TWPT_RGB = 2;
constexpr TW_UINT16 TWBO_LSBFIRST = 0;
constexpr TW_UINT16 TWBO_MSBFIRST = 1;
constexpr TW_UINT16 TWFF_TIFF = 0;
constexpr TW_UINT16 TWFF_BMP = 2;
constexpr TW_UINT16 TWFF_JFIF = 4;
constexpr TW_UINT16 TWFF_PDF = 10;
constexpr TW_UINT16 TWPF_CHOCOLATE = 0;
constexpr TW_UINT16 TWOR_ROT0 = 0;
constexpr TW_UINT16 TWDX_NONE = 0;
constexpr TW_UINT16 TWSS_NONE = 0;
constexpr TW_UINT16 TWSS_A4 = 1;
constexpr TW_UINT16 TWSS_USLETTER = 3;
constexpr TW_UINT16 TWSS_USLEGAL = 4;
constexpr TW_UINT16 TWSS_ISOB4 = 6;
constexpr TW_UINT16 TWSS_BUSINESSCARD = 53;
constexpr TW_UINT16 TWLG_ENGLISH = 2;
constexpr TW_UINT16 TWCY_USA = 1;
constexpr TW_UINT32 TWMF_APPOWNS = 0x0001;
constexpr TW_UINT32 TWMF_DSMOWNS = 0x0002;
constexpr TW_UINT32 TWMF_DSOWNS = 0x0004;
constexpr TW_UINT32 TWMF_POINTER = 0x0008;
constexpr TW_UINT32 TWMF_HANDLE = 0x0010;
