// Request codes of the library's packets (function 72), by name. The
// library and the simulated controller both speak through these.
#pragma once

#include <cstdint>

namespace tvx::req {

inline constexpr uint16_t keepAlive = 0;     // sent without waiting for a reply
inline constexpr uint16_t state = 1;         // run state, stopped or paused task
inline constexpr uint16_t appendText = 2;    // text bytes into the command buffer
inline constexpr uint16_t freeSpace = 3;     // i32 free bytes of the command buffer
inline constexpr uint16_t fetchAnswer = 4;   // state byte, then answer text
inline constexpr uint16_t direct = 5;        // text with its 0 byte, answer in the reply
inline constexpr uint16_t multiLine = 7;     // points of a multi-axis line sequence
inline constexpr uint16_t archiveDownload = 100;
inline constexpr uint16_t archiveRamRun = 102;  // download to RAM, then run
inline constexpr uint16_t run = 103;            // a program by name, or resume
inline constexpr uint16_t pause = 104;
inline constexpr uint16_t stop = 105;
inline constexpr uint16_t sysSpecification = 109;
inline constexpr uint16_t archiveNamedDownload = 110;
inline constexpr uint16_t currentIp = 111;
inline constexpr uint16_t clientId = 112;
inline constexpr uint16_t softId = 113;
inline constexpr uint16_t hardId = 114;
inline constexpr uint16_t softVersion = 115;
inline constexpr uint16_t error = 116;
inline constexpr uint16_t axisFeatures = 117;
inline constexpr uint16_t chipId = 118;
inline constexpr uint16_t axisEnable = 119;
inline constexpr uint16_t setOutput = 120;
inline constexpr uint16_t getIn = 121;
inline constexpr uint16_t getOutput = 122;
inline constexpr uint16_t setOutAll = 123;
inline constexpr uint16_t getInAll = 124;
inline constexpr uint16_t getOutAll = 125;
inline constexpr uint16_t setDaOut = 126;
inline constexpr uint16_t getDaOut = 127;
inline constexpr uint16_t getAIn = 128;
inline constexpr uint16_t axisStates = 129;
inline constexpr uint16_t threeFileExists = 130;     // the store's files: name, answer u32
inline constexpr uint16_t threeFileListing = 131;    // listing of the store
inline constexpr uint16_t threeFileRemoveAll = 132;
inline constexpr uint16_t threeFileDelete = 133;
inline constexpr uint16_t threeFileDown = 134;
inline constexpr uint16_t threeFileUp = 135;
inline constexpr uint16_t threeFileRamDown = 136;    // whole file to RAM under a composed name
inline constexpr uint16_t threeFileRamRun = 137;
inline constexpr uint16_t threeFileRamPart = 138;    // RAM download in parts
inline constexpr uint16_t threeFileRamSpace = 139;
inline constexpr uint16_t flashTableDown = 140;
inline constexpr uint16_t flashTableUp = 141;
inline constexpr uint16_t registerWrite = 144;  // named register areas
inline constexpr uint16_t registerRead = 145;
inline constexpr uint16_t arrayWrite = 146;  // floats into a named array
inline constexpr uint16_t arrayRead = 147;   // floats of a named array
inline constexpr uint16_t transferState = 148;
inline constexpr uint16_t lcdMouse = 150;     // touch input on a remote screen
inline constexpr uint16_t lcdKey = 151;
inline constexpr uint16_t lcdVirtualKey = 152;
inline constexpr uint16_t lcdClose = 155;     // sent without waiting for a reply
inline constexpr uint16_t lcdOpen = 156;
inline constexpr uint16_t lcdCheck = 157;     // changed regions
inline constexpr uint16_t lcdData = 158;      // a chunk of encoded pixels, or the end of a pass
inline constexpr uint16_t visionImage = 165;  // image description or a chunk of it
inline constexpr uint16_t lcdCoder = 167;     // encoder input
inline constexpr uint16_t firmwareSection = 198;        // one section of a sectioned image
inline constexpr uint16_t firmwareCheck = 199;          // an image header, checked by the controller
inline constexpr uint16_t firmwareDown = 200;
inline constexpr uint16_t firmwareDownAlternate = 201;  // type 1235 images
inline constexpr uint16_t firmwareUp = 202;
inline constexpr uint16_t lowFormatNand = 203;
inline constexpr uint16_t resetController = 204;
inline constexpr uint16_t setMac = 206;
inline constexpr uint16_t getMac = 207;
inline constexpr uint16_t listing = 208;
inline constexpr uint16_t fileDown = 209;
inline constexpr uint16_t fileUp = 210;
inline constexpr uint16_t fileDelete = 211;
inline constexpr uint16_t hardwareTest = 221;
inline constexpr uint16_t logUp = 222;
inline constexpr uint16_t clearLog = 223;
inline constexpr uint16_t enterBootLoader = 224;
inline constexpr uint16_t startApplication = 225;
inline constexpr uint16_t serialBaud = 226;     // u32 baud: the controller's serial line moves to it
inline constexpr uint16_t returnDefault = 227;
inline constexpr uint16_t stepRun = 300;       // single step of a program
inline constexpr uint16_t cancelOnline = 301;  // leave online debugging
inline constexpr uint16_t currentProject = 302;
inline constexpr uint16_t taskState = 306;
inline constexpr uint16_t fileState = 307;
inline constexpr uint16_t taskStackState = 308;
inline constexpr uint16_t stringType = 309;   // what a name denotes
inline constexpr uint16_t enumLocal = 313;    // one local variable of a stopped task
inline constexpr uint16_t childCard = 320;
inline constexpr uint16_t readMessage = 330;  // a piece of the controller's print output
inline constexpr uint16_t breakAdd = 331;
inline constexpr uint16_t breakDelete = 332;
inline constexpr uint16_t breakClear = 333;
inline constexpr uint16_t firmwarePartDown = 421;  // enciphered images of types 3234 to 3241
inline constexpr uint16_t cycleUpload = 427;
inline constexpr uint16_t cycleForceOnce = 428;

// Packets the controller pushes (function 73).
inline constexpr uint16_t pushedCycleBlock = 399;  // a cycle-upload block
inline constexpr uint16_t pushedText = 400;        // text for the auto-upload callback

}  // namespace tvx::req
