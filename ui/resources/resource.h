/* Identifiers of the module's dialogs, menus, icons, controls and menu
 * items. Read by the resource compiler (whose script is Shift-JIS) and by the
 * panels' C++ code (UTF-8) alike, so it holds nothing but #defines and only
 * ASCII. */
#ifndef QUORVEL_UI_RESOURCES_RESOURCE_H
#define QUORVEL_UI_RESOURCES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* ---- Icons ------------------------------------------------------------ */
#define IDI_QUORVEL 123
#define IDI_QUORVEL_POSE 124

/* ---- Command panel ---------------------------------------------------- */
#define IDD_COMMAND 101
#define IDC_COMMAND_MOVE 1003
#define IDC_COMMAND_MORPH 1006
#define IDC_COMMAND_POSE 1011
#define IDC_COMMAND_WEIGHT 1012
#define IDC_COMMAND_OPTION 1039
#define IDC_COMMAND_DISPLAY 1041
#define IDC_COMMAND_MAKE 1047
#define IDC_COMMAND_GROUP 1061
#define IDC_COMMAND_STATUS 1071

/* ---- Object options (modal) -------------------------------------------- */
#define IDD_OBJPROP 107
#define IDC_OBJPROP_WEIGHTCOLOR_LABEL 1020
#define IDC_OBJPROP_USETRS 1052
#define IDC_OBJPROP_USEROT 1053
#define IDC_OBJPROP_USESCL 1054
#define IDC_OBJPROP_BONESHOW 1055
#define IDC_OBJPROP_IKTYPE 1066
#define IDC_OBJPROP_IKTARGET 1067
#define IDC_OBJPROP_XNONE 1070
#define IDC_OBJPROP_XALL 1071
#define IDC_OBJPROP_YNONE 1072
#define IDC_OBJPROP_YALL 1073
#define IDC_OBJPROP_ZNONE 1074
#define IDC_OBJPROP_ZALL 1075
#define IDC_OBJPROP_IKTYPE_LABEL 1104
#define IDC_OBJPROP_IKTARGET_LABEL 1105
#define IDC_OBJPROP_WEIGHTSHOW 1110
#define IDC_OBJPROP_WEIGHTCOLOR 1111
#define IDC_OBJPROP_NAME 1133
#define IDC_OBJPROP_XMIN 1135
#define IDC_OBJPROP_XMAX 1139
#define IDC_OBJPROP_YMIN 1140
#define IDC_OBJPROP_YMAX 1141
#define IDC_OBJPROP_ZMIN 1142
#define IDC_OBJPROP_ZMAX 1143

/* ---- Bone alignment (modal) -------------------------------------------- */
#define IDD_BONEALIGN 191
#define IDC_ALIGN_X 1023
#define IDC_ALIGN_Y 1024
#define IDC_ALIGN_Z 1025
#define IDC_ALIGN_PIVOT 1026
#define IDC_ALIGN_SHOW_PIVOT 1027
#define IDC_ALIGN_SHOW_ROLL 1028
#define IDC_ALIGN_POSX 1029
#define IDC_ALIGN_POSY 1030
#define IDC_ALIGN_POSZ 1031
#define IDC_ALIGN_BONE 1033
#define IDC_ALIGN_FROMBONE 1053

/* ---- Move panel -------------------------------------------------------- */
#define IDD_CMDMOVE 193
#define IDC_MOVE_MASK_PIVOT 1007
#define IDC_MOVE_IK 1008
#define IDC_MOVE_MASK_ROLL 1009
#define IDC_MOVE_TRANSLATE 1010
#define IDC_MOVE_ROTATE 1011
#define IDC_MOVE_SCALE 1012
#define IDC_MOVE_VERTEX_NONE 1013
#define IDC_MOVE_VERTEX_LOCAL 1014
#define IDC_MOVE_VERTEX_ROTATE 1015
#define IDC_MOVE_VERTEX_ZSCALE 1016
#define IDC_MOVE_VERTEX_SCALE 1017
#define IDC_MOVE_MASK_BODY 1069
#define IDC_MOVE_MENU 1108

/* ---- Make panel -------------------------------------------------------- */
#define IDD_CMDMAKE 194
#define IDC_MAKE_CHILD 1000
#define IDC_MAKE_SIBLING 1001

/* ---- Pose list panel --------------------------------------------------- */
#define IDD_POSELIST 198
#define IDC_POSELIST_NEW 1121
#define IDC_POSELIST_DELETE 1122
#define IDC_POSELIST_LIST 1123
#define IDC_POSELIST_PROP 1124
#define IDC_POSELIST_MENU 1125

/* ---- Morph panel ------------------------------------------------------- */
#define IDD_OBJMORPH 214
#define IDC_MORPH_HEADER 1103
#define IDC_MORPH_MENU 1104
#define IDC_MORPH_PROP 1105
#define IDC_MORPH_NEW 1106
#define IDC_MORPH_DELETE 1107
#define IDC_MORPH_LIST 1286
/* The vertical bar beside the rows; the panel lays it out on every size. */
#define IDC_MORPH_SCROLL 1287

/* ---- Morph target properties (modal) ----------------------------------- */
#define IDD_OBJMORPHPROP 216
#define IDC_MORPHPROP_NAME 1000
#define IDC_MORPHPROP_INDEX 1106
#define IDC_MORPHPROP_GROUP 1110

/* ---- Pose properties (modal) ------------------------------------------- */
#define IDD_POSEPROP 217
#define IDC_POSEPROP_NAME 1159

/* ---- Weight properties of a bone (modal) ------------------------------- */
#define IDD_OBJWEIGHTPROP 219
#define IDC_WEIGHTPROP_COLOR_LABEL 1020
#define IDC_WEIGHTPROP_NAME 1050
#define IDC_WEIGHTPROP_SHOW 1057
#define IDC_WEIGHTPROP_COLOR 1083

/* ---- Weight pen panel -------------------------------------------------- */
#define IDD_WEIGHTPEN 220
#define IDC_WEIGHTPEN_PEN0 1018
#define IDC_WEIGHTPEN_SIZE 1020
#define IDC_WEIGHTPEN_DEPTH 1022
#define IDC_WEIGHTPEN_PEN1 1023
#define IDC_WEIGHTPEN_PEN2 1024
#define IDC_WEIGHTPEN_PEN3 1025
#define IDC_WEIGHTPEN_PAL0 1027
#define IDC_WEIGHTPEN_PAL1 1028
#define IDC_WEIGHTPEN_PAL2 1029
#define IDC_WEIGHTPEN_PAL3 1030
#define IDC_WEIGHTPEN_PAL4 1031
#define IDC_WEIGHTPEN_PAL5 1032
#define IDC_WEIGHTPEN_PAL6 1033
#define IDC_WEIGHTPEN_PAL7 1034
#define IDC_WEIGHTPEN_SIZE_LABEL 1067
#define IDC_WEIGHTPEN_PALCOLOR 1084
#define IDC_WEIGHTPEN_PALMENU 1112
#define IDC_WEIGHTPEN_ADD 1185
#define IDC_WEIGHTPEN_DEL 1186
#define IDC_WEIGHTPEN_NORM 1187
#define IDC_WEIGHTPEN_SELMENU 1188
#define IDC_WEIGHTPEN_OBJMENU 1189
#define IDC_WEIGHTPEN_BLUR 1190
#define IDC_WEIGHTPEN_LIST 1286
#define IDC_WEIGHTPEN_DEPTH_LABEL 1417

/* ---- One row of the weight palette list (child dialog) ----------------- */
#define IDD_WEIGHTPALROW 223
#define IDC_PALROW_COLOR 1022
#define IDC_PALROW_WEIGHT 1031

/* ---- Pose-tool panel --------------------------------------------------- */
#define IDD_CMDMOT 226
#define IDC_MOT_MASK_PIVOT 1007
#define IDC_MOT_MASK_ROLL 1009
#define IDC_MOT_IKCHILD 1038
#define IDC_MOT_MASK_BODY 1069
#define IDC_MOT_MENU 1101

/* ---- Pose morph panel -------------------------------------------------- */
#define IDD_POSEMORPH 242
#define IDC_POSEMORPH_HEADER 1103
#define IDC_POSEMORPH_MENU 1104
#define IDC_POSEMORPH_LIST 1286
/* The vertical bar at the right edge of the rows. */
#define IDC_POSEMORPH_SCROLL 1287

/* ---- Pose bone panel --------------------------------------------------- */
#define IDD_POSEOBJ 243
#define IDC_POSEOBJ_ROTX 1100
#define IDC_POSEOBJ_ROT_RESET 1107
#define IDC_POSEOBJ_ROTY 1108
#define IDC_POSEOBJ_ROTZ 1109
#define IDC_POSEOBJ_TRSX 1110
#define IDC_POSEOBJ_TRSY 1111
#define IDC_POSEOBJ_SCLX 1112
#define IDC_POSEOBJ_SCLY 1113
#define IDC_POSEOBJ_NAME 1114
#define IDC_POSEOBJ_SCLZ 1115
#define IDC_POSEOBJ_TRSZ 1116
#define IDC_POSEOBJ_TRS_RESET 1117
#define IDC_POSEOBJ_SCL_RESET 1118

/* ---- glTF unit scale (modal) ------------------------------------------ */
#define IDD_GLTFSCALE 250
#define IDC_GLTF_SCALE 1300

/* ---- Weight tools (modal): one template per tool ----------------------- */
#define IDD_RIGAUTO 251
#define IDD_RIGMIRROR 252
#define IDD_RIGSMOOTH 253
#define IDD_RIGLIMIT 254
#define IDC_RIG_RESOLUTION 1310
#define IDC_RIG_FALLOFF 1311
#define IDC_RIG_MAXBONES 1312
#define IDC_RIG_PLUS_TO_MINUS 1313
#define IDC_RIG_MINUS_TO_PLUS 1314
#define IDC_RIG_TOLERANCE 1315
#define IDC_RIG_ITERATIONS 1316
#define IDC_RIG_STRENGTH 1317
#define IDC_RIG_LIMIT 1318

/* ---- Pop-up menus: each holds its items in submenu 0 ------------------- */
#define IDR_MENU_OPTION 124
#define ID_OPTION_ENABLE 40065
#define ID_OPTION_OBJECT 40110
#define ID_OPTION_GLTF_EXPORT 40130
#define ID_OPTION_GLTF_IMPORT 40131

#define IDR_MENU_DISPLAY 129
#define ID_DISPLAY_CUROBJWEIGHT 40070
#define ID_DISPLAY_BONE 40076
#define ID_DISPLAY_ROLL 40077
#define ID_DISPLAY_HANDLE 40079
#define ID_DISPLAY_LOCAL 40107

#define IDR_MENU_POSEEDIT 130
#define ID_POSE_RESET_BONE 40108
#define ID_POSE_RESET_ALL 40109
#define ID_POSE_RESET_OBJMORPH 40111
#define ID_POSE_RESET_MORPH 40112
#define ID_POSE_RESET_ALLMORPH 40113

#define IDR_MENU_PALETTE 131
#define ID_PALETTE_NORMALIZE 40084
#define ID_PALETTE_COPY 40085
#define ID_PALETTE_PASTE 40086
#define ID_PALETTE_CLEAR 40087
#define ID_PALETTE_ADD 40088
#define ID_PALETTE_REMOVE 40089

#define IDR_MENU_MOVE 132
#define ID_MOVE_RESET_SELECTED 40114
#define ID_MOVE_RESET_ALL 40115
#define ID_MOVE_ALIGN 40116
#define ID_MOVE_MIRROR_BONES 40148

/* Operations on the host's selected vertices. */
#define IDR_MENU_SELWEIGHT 133
#define ID_SELWEIGHT_AUTO 40122
#define ID_SELWEIGHT_NORMALIZE 40123
#define ID_SELWEIGHT_DELETE 40124
#define ID_SELWEIGHT_FILL 40126
#define ID_SELWEIGHT_BIND 40140
#define ID_SELWEIGHT_MIRROR 40141
#define ID_SELWEIGHT_SMOOTH 40142
#define ID_SELWEIGHT_LIMIT 40143

/* Operations on the host's current object. */
#define IDR_MENU_OBJWEIGHT 134
#define ID_OBJWEIGHT_AUTO 40117
#define ID_OBJWEIGHT_NORMALIZE 40118
#define ID_OBJWEIGHT_DELETE 40119
#define ID_OBJWEIGHT_FILL 40121
#define ID_OBJWEIGHT_BIND 40144
#define ID_OBJWEIGHT_MIRROR 40145
#define ID_OBJWEIGHT_SMOOTH 40146
#define ID_OBJWEIGHT_LIMIT 40147

/* Menus of our own for the "other" buttons of the pose list and the morph
 * panel. Their items keep the command numbers that those panels answer to
 * (pose list 40003 and 40012, morph panel 40040); no other menu of the
 * module uses them. */
#define IDR_MENU_POSELIST 135
#define ID_POSELIST_COPY 40003      /* copy the current pose */
#define ID_POSELIST_RESET_ALL 40012 /* reset the pose of all bones */
/* The current pose mirrored across X = 0. */
#define ID_POSELIST_MIRROR_BONE 40150  /* the current bone's pose onto its mirror bone */
#define ID_POSELIST_MIRROR_PLUS 40151  /* the +X bones' poses onto their mirrors */
#define ID_POSELIST_MIRROR_MINUS 40152 /* the -X bones' poses onto their mirrors */
#define ID_POSELIST_MIRROR_FLIP 40153  /* the whole pose flipped */

#define IDR_MENU_MORPH 136
#define ID_MORPH_STORE_SHAPE 40040 /* store the shown shape into the current morph target */

#endif /* QUORVEL_UI_RESOURCES_RESOURCE_H */
