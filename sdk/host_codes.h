#pragma once
// Operation codes of the host's value functions, shared by both sides.

enum : int {
  // MQObj_GetIntValue / MQObj_SetIntValue
  MQOBJ_ID_DEPTH = 0x101,         // depth in the hierarchy
  MQOBJ_ID_LOCKING = 0x103,       // lock flag (read only here)
  MQOBJ_ID_UNIQUE_ID = 0x104,     // unique id (read only)
  MQOBJ_ID_COLOR_VALID = 0x201,   // drawing-object colour in use
  // MQObj_SetFloatArray
  MQOBJ_ID_COLOR = 0x201,         // drawing-object colour, three floats
  MQOBJ_ID_SCALING = 0x301,       // local scale, three floats
  MQOBJ_ID_ROTATION = 0x302,      // local rotation angles in degrees, three floats
  MQOBJ_ID_TRANSLATION = 0x303,   // local translation, three floats
  // MQMatrix_FloatValue
  MQMATRIX_GET_SCALING = 0x101,
  MQMATRIX_GET_ROTATION = 0x102,     // angles in degrees
  MQMATRIX_GET_TRANSLATION = 0x103,
  MQMATRIX_SET_TRANSFORM = 0x204,    // nine floats: scale, angles, translation
  // MQMat_GetIntValue / MQMat_SetIntValue
  MQMAT_ID_SHADER = 0x101,
  MQMAT_ID_VERTEXCOLOR = 0x102,      // 0 off, 1 used as the diffuse colour
  MQMAT_ID_UNIQUE_ID = 0x103,        // read only
  // MQScene_FloatValue. World to screen takes 7 floats: [0..2] the world
  // point in, [3..5] screen x, y and depth out, [6] the clip w out. Screen to
  // world takes 6: [0..2] screen x, y and depth in, [3..5] the world point out.
  MQSCENE_CONVERT_3D_TO_SCREEN = 0x300,
  MQSCENE_CONVERT_SCREEN_TO_3D = 0x301,
  // MQXmlElem_Value, with the pointer slots each code reads and writes:
  MQXMLELEM_ADD_CHILD = 0x101,      // [0] name in, [1] the new child out
  MQXMLELEM_FIRST_CHILD = 0x201,    // [0] name or null for any in, [1] the child out (null: none)
  MQXMLELEM_NEXT_CHILD = 0x202,     // [0] name or null in, [1] current child in, [2] next out
  MQXMLELEM_GET_NAME = 0x301,       // [0] the element's name out
  MQXMLELEM_GET_ATTRIBUTE = 0x303,  // [0] attribute name in, [1] its value out (null: absent)
  MQXMLELEM_SET_ATTRIBUTE = 0x403,  // [0] attribute name in, [1] value in
};

// Buffer sizes of the two screen conversions.
constexpr int kMQSceneToScreenFloats = 7;
constexpr int kMQSceneToWorldFloats = 6;
