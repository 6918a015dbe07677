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
  MQMAT_ID_SHADER = 0x103,
  MQMAT_ID_VERTEXCOLOR = 0x102,
  // MQScene_FloatValue
  MQSCENE_CONVERT_3D_TO_SCREEN = 0x300,  // in: x, y, z; out: screen x, y, depth
  MQSCENE_CONVERT_SCREEN_TO_3D = 0x301,  // in: screen x, y, depth; out: x, y, z
  // MQXmlElem_Value, with the MQXmlValue fields each code uses
  MQXMLELEM_ADD_CHILD = 0x101,      // name → element (the new child)
  MQXMLELEM_FIRST_CHILD = 0x201,    // name or null → element, null when none
  MQXMLELEM_NEXT_CHILD = 0x202,     // name or null, element (current) → element
  MQXMLELEM_GET_NAME = 0x301,       // → text
  MQXMLELEM_GET_ATTRIBUTE = 0x303,  // name → text, null when absent
  MQXMLELEM_SET_ATTRIBUTE = 0x403,  // name, text
};
