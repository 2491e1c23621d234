#pragma once
// TV24Parameter ("V24" = the serial RS-232 line) and TDlgParameter.
// Serial line parameters: the enumerations every caller speaks in, the
// 20-byte parameter record and its settings file, and the flags of the
// settings dialog.
//
// Never include <termios.h> next to this header: it defines B115200 and the
// other speed macros, which would replace the enumerators of BaudTag.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Each enumeration is stored in one byte; the value is the position.
enum DatBitTag : uint8_t { D_7, D_8 };
enum ParitaetTag : uint8_t { NoParity, Odd, Even, Mark, Space };
enum StopBitTag : uint8_t { S_1, S1_5, S_2 };
enum BaudTag : uint8_t { B__1200, B__2400, B__4800, B__9600, B_19200, B_38400, B_57600, B115200 };
enum HandshakeTag : uint8_t { NoHandshake, RTS_CTS, XonXoff, KVX_XonXoff };
// Port number = value + 1: Com__1 is 0, Com256 is 255.
enum ComTag : uint8_t {
  Com__1,
  Com__2,
  Com__3,
  Com__4,
  Com__5,
  Com__6,
  Com__7,
  Com__8,
  Com__9,
  Com_10,
  Com_11,
  Com_12,
  Com_13,
  Com_14,
  Com_15,
  Com_16,
  Com_17,
  Com_18,
  Com_19,
  Com_20,
  Com_21,
  Com_22,
  Com_23,
  Com_24,
  Com_25,
  Com_26,
  Com_27,
  Com_28,
  Com_29,
  Com_30,
  Com_31,
  Com_32,
  Com_33,
  Com_34,
  Com_35,
  Com_36,
  Com_37,
  Com_38,
  Com_39,
  Com_40,
  Com_41,
  Com_42,
  Com_43,
  Com_44,
  Com_45,
  Com_46,
  Com_47,
  Com_48,
  Com_49,
  Com_50,
  Com_51,
  Com_52,
  Com_53,
  Com_54,
  Com_55,
  Com_56,
  Com_57,
  Com_58,
  Com_59,
  Com_60,
  Com_61,
  Com_62,
  Com_63,
  Com_64,
  Com_65,
  Com_66,
  Com_67,
  Com_68,
  Com_69,
  Com_70,
  Com_71,
  Com_72,
  Com_73,
  Com_74,
  Com_75,
  Com_76,
  Com_77,
  Com_78,
  Com_79,
  Com_80,
  Com_81,
  Com_82,
  Com_83,
  Com_84,
  Com_85,
  Com_86,
  Com_87,
  Com_88,
  Com_89,
  Com_90,
  Com_91,
  Com_92,
  Com_93,
  Com_94,
  Com_95,
  Com_96,
  Com_97,
  Com_98,
  Com_99,
  Com100,
  Com101,
  Com102,
  Com103,
  Com104,
  Com105,
  Com106,
  Com107,
  Com108,
  Com109,
  Com110,
  Com111,
  Com112,
  Com113,
  Com114,
  Com115,
  Com116,
  Com117,
  Com118,
  Com119,
  Com120,
  Com121,
  Com122,
  Com123,
  Com124,
  Com125,
  Com126,
  Com127,
  Com128,
  Com129,
  Com130,
  Com131,
  Com132,
  Com133,
  Com134,
  Com135,
  Com136,
  Com137,
  Com138,
  Com139,
  Com140,
  Com141,
  Com142,
  Com143,
  Com144,
  Com145,
  Com146,
  Com147,
  Com148,
  Com149,
  Com150,
  Com151,
  Com152,
  Com153,
  Com154,
  Com155,
  Com156,
  Com157,
  Com158,
  Com159,
  Com160,
  Com161,
  Com162,
  Com163,
  Com164,
  Com165,
  Com166,
  Com167,
  Com168,
  Com169,
  Com170,
  Com171,
  Com172,
  Com173,
  Com174,
  Com175,
  Com176,
  Com177,
  Com178,
  Com179,
  Com180,
  Com181,
  Com182,
  Com183,
  Com184,
  Com185,
  Com186,
  Com187,
  Com188,
  Com189,
  Com190,
  Com191,
  Com192,
  Com193,
  Com194,
  Com195,
  Com196,
  Com197,
  Com198,
  Com199,
  Com200,
  Com201,
  Com202,
  Com203,
  Com204,
  Com205,
  Com206,
  Com207,
  Com208,
  Com209,
  Com210,
  Com211,
  Com212,
  Com213,
  Com214,
  Com215,
  Com216,
  Com217,
  Com218,
  Com219,
  Com220,
  Com221,
  Com222,
  Com223,
  Com224,
  Com225,
  Com226,
  Com227,
  Com228,
  Com229,
  Com230,
  Com231,
  Com232,
  Com233,
  Com234,
  Com235,
  Com236,
  Com237,
  Com238,
  Com239,
  Com240,
  Com241,
  Com242,
  Com243,
  Com244,
  Com245,
  Com246,
  Com247,
  Com248,
  Com249,
  Com250,
  Com251,
  Com252,
  Com253,
  Com254,
  Com255,
  Com256,
};

// Number of enumerators, for range checks of bytes read from outside.
inline constexpr int kDatBitCount = 2;
inline constexpr int kParitaetCount = 5;
inline constexpr int kStopBitCount = 3;
inline constexpr int kBaudCount = 8;
inline constexpr int kHandshakeCount = 4;
inline constexpr int kComCount = 256;

// Driver values of the enumerations.
int BaudRateOf(BaudTag baud);    // bit/s, 1200 for an out-of-range tag
int DataBitsOf(DatBitTag bits);  // 7 or 8

struct V24ParameterTag {
  DatBitTag DatenBits;
  ParitaetTag Paritaet;
  StopBitTag StopBits;
  BaudTag Baudrate;
  HandshakeTag Handshake;
  int32_t RXTimeOut;  // ms, constant part of the total read time-out
  int32_t TXTimeOut;  // ms, constant part of the total write time-out
  ComTag Schnittstelle;
  bool KeinNullZeichen;  // discard received NUL bytes
};

// The settings-file image: 20 bytes, little-endian, padding zero.
inline constexpr size_t kV24ImageSize = 20;
using V24Image = std::array<uint8_t, kV24ImageSize>;
V24Image EncodeV24Image(const V24ParameterTag& record);
// False, leaving `record` untouched, when the image is shorter than 20 bytes
// or holds a value outside its enumeration.
bool DecodeV24Image(const uint8_t* data, size_t size, V24ParameterTag& record);

class TV24Parameter {
 public:
  TV24Parameter();

  // Stores the file binding; with streamOn and a name, loads the file first.
  // The returned record lives inside this object.
  V24ParameterTag* GetParameter(bool streamOn, const std::string& fileName);
  // Copies the record in (source may be the live record) and saves it when
  // the binding is on.
  void SetParameter(const V24ParameterTag* source);
  // 0 or -10. A missing file is created with the record's values; a file
  // that is short or out of range is left alone and the record kept.
  int LoadFromFile(const std::string& fileName, V24ParameterTag* record);
  // 0 or -10. Writes the 20 bytes at the start; further bytes are kept.
  int SaveToFile(const std::string& fileName, const V24ParameterTag* record);

  DatBitTag DatenBits() const { return record_.DatenBits; }
  void SetDatenBits(DatBitTag value) { record_.DatenBits = value; }
  ParitaetTag Paritaet() const { return record_.Paritaet; }
  void SetParitaet(ParitaetTag value) { record_.Paritaet = value; }
  StopBitTag StopBits() const { return record_.StopBits; }
  void SetStopBits(StopBitTag value) { record_.StopBits = value; }
  BaudTag Baudrate() const { return record_.Baudrate; }
  void SetBaudrate(BaudTag value) { record_.Baudrate = value; }
  HandshakeTag Handshake() const { return record_.Handshake; }
  void SetHandshake(HandshakeTag value) { record_.Handshake = value; }
  int32_t RXTimeOut() const { return record_.RXTimeOut; }
  void SetRXTimeOut(int32_t value) { record_.RXTimeOut = value; }
  int32_t TXTimeOut() const { return record_.TXTimeOut; }
  void SetTXTimeOut(int32_t value) { record_.TXTimeOut = value; }
  ComTag Schnittstelle() const { return record_.Schnittstelle; }
  void SetSchnittstelle(ComTag value) { record_.Schnittstelle = value; }
  bool KeinNullZeichen() const { return record_.KeinNullZeichen; }
  void SetKeinNullZeichen(bool value) { record_.KeinNullZeichen = value; }

 private:
  V24ParameterTag record_;
  bool streamOn_ = false;
  std::string fileName_;
};

// Which fields the settings dialog lets the user change.
class TDlgParameter {
 public:
  bool DatenBits = false;
  bool Schnittstelle = false;
  bool Paritaet = false;
  bool StopBits = false;
  bool Baudrate = false;
  bool Handshake = false;
  bool RXTimeOut = false;
  bool TXTimeOut = false;

  // The eight flags in the order above.
  std::array<bool, 8> Flags() const;
  void SetFlags(const std::array<bool, 8>& flags);
};
