// The three built-in ray-setup programs of the ray caster: their shader texts and the
// routine that builds and logs them. They find, per target pixel, where the viewing
// ray enters and leaves the bounding geometry and turn that into a direction and a
// length. The ray-casting program itself comes from files and is only created here.
#pragma once

class GLSLProgram;
struct GLSLShader;

// One line each, GLSL 1.10 with the fixed-function built-ins. Tabs are part of the text.

// Writes the interpolated object-space vertex position with alpha 1.
inline constexpr const char* kCubeVS =
    R"(varying vec3 color;void main(){   gl_Position = ftransform();   color = gl_Vertex.xyz;})";
inline constexpr const char* kCubeFS =
    R"(varying vec3 color;void main(void){	 gl_FragColor = vec4(color, 1.0);})";

// Takes clip-space corners of the near plane, un-projects them and writes the position
// clamped to the unit cube with alpha 0.
inline constexpr const char* kNearPlaneVS =
    R"(varying vec4 raystart;void main(){   vec4 objectSpacePos = gl_ModelViewProjectionMatrixInverse *  gl_Vertex;   objectSpacePos /= objectSpacePos.w;   raystart = vec4(clamp(objectSpacePos.xyz, vec3(0.0), vec3(1.0)),0.0);   gl_Position = gl_Vertex;})";
inline constexpr const char* kNearPlaneFS =
    R"(varying vec4 raystart;void main(){ gl_FragColor = raystart;})";

// Screen-space pass: (exit - entry, |exit - entry| * entry alpha) where the exit image
// has a positive component, else zero.
inline constexpr const char* kRayDirectionVS =
    R"(void main(){	gl_Position = ftransform();	gl_TexCoord[0] = gl_MultiTexCoord0;})";
inline constexpr const char* kRayDirectionFS =
    R"(uniform sampler2D front_faces;uniform sampler2D back_faces;void main(void){  vec4 start = texture2D(front_faces, gl_TexCoord[0].st);  vec4 end = texture2D(back_faces, gl_TexCoord[0].st);  gl_FragColor = vec4(0.0);  if(end.r > 0.0 || end.g > 0.0 || end.b > 0.0)  {	  vec3 rayDir = end.xyz - start.xyz;  float rayLength = length(rayDir);  rayLength *= start.a;  gl_FragColor = vec4(rayDir, rayLength);  }})";

// Creates whichever of the four program slots is empty, creates the six shader records
// anew (existing records are replaced, not released), compiles them and links the
// three ray-setup programs, writing every compile and link log to stdout. Failures
// show only in those logs. `raycastProgram` is left unlinked for its owner.
void buildRaySetupPrograms(GLSLProgram*& nearPlaneProgram, GLSLProgram*& boundingGeometryProgram,
                           GLSLProgram*& rayDirectionProgram, GLSLProgram*& raycastProgram,
                           GLSLShader*& nearPlaneVertex, GLSLShader*& nearPlaneFragment,
                           GLSLShader*& cubeVertex, GLSLShader*& cubeFragment,
                           GLSLShader*& rayDirectionVertex, GLSLShader*& rayDirectionFragment);
