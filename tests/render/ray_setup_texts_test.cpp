// The built-in shader texts are part of the system's behaviour byte for byte: a lost
// tab or an editor-inserted line break would change what the driver compiles and logs.
#include "render/RaySetupPrograms.h"

#include <gtest/gtest.h>


TEST(RaySetupTexts, ShaderTextsAreExactSingleLinesWithTheirTabs)
{
    EXPECT_STREQ(kCubeVS,
                 "varying vec3 color;void main(){   gl_Position = ftransform();   color = gl_Vertex.xyz;}");
    EXPECT_STREQ(kCubeFS, "varying vec3 color;void main(void){\t gl_FragColor = vec4(color, 1.0);}");
    EXPECT_STREQ(kNearPlaneVS,
                 "varying vec4 raystart;void main(){   vec4 objectSpacePos = "
                 "gl_ModelViewProjectionMatrixInverse *  gl_Vertex;   objectSpacePos /= "
                 "objectSpacePos.w;   raystart = vec4(clamp(objectSpacePos.xyz, vec3(0.0), "
                 "vec3(1.0)),0.0);   gl_Position = gl_Vertex;}");
    EXPECT_STREQ(kNearPlaneFS, "varying vec4 raystart;void main(){ gl_FragColor = raystart;}");
    EXPECT_STREQ(kRayDirectionVS,
                 "void main(){\tgl_Position = ftransform();\tgl_TexCoord[0] = gl_MultiTexCoord0;}");
    EXPECT_STREQ(kRayDirectionFS,
                 "uniform sampler2D front_faces;uniform sampler2D back_faces;void main(void){  vec4 "
                 "start = texture2D(front_faces, gl_TexCoord[0].st);  vec4 end = "
                 "texture2D(back_faces, gl_TexCoord[0].st);  gl_FragColor = vec4(0.0);  if(end.r > "
                 "0.0 || end.g > 0.0 || end.b > 0.0)  {\t  vec3 rayDir = end.xyz - start.xyz;  "
                 "float rayLength = length(rayDir);  rayLength *= start.a;  gl_FragColor = "
                 "vec4(rayDir, rayLength);  }}");
}
