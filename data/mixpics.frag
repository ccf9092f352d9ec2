// Picture mixing, fragment stage: one player's picture from the three layer images.
// The skin is a translucent shell over the skeleton; the organ lies over or under that
// body depending on which is nearer the camera. Around the pointer a soft round lens
// fades the skin, and towards its centre most of the skeleton, so the player looks
// into the body and sees the organ against its inside.
#version 120

uniform sampler2D skin;      // skin layer: premultiplied RGBA (rgb already times opacity)
uniform sampler2D sceleton;  // skeleton layer, premultiplied
uniform sampler2D organ;     // the level's organ, premultiplied
uniform int organNearer;     // 1: the organ is nearer the camera than the body
uniform vec2 cursorPos;      // pointer in window pixels, origin bottom left; (-100, -100) = elsewhere

const float kSkinShell = 0.6;        // opacity kept of the skin outside the lens
const float kLensRadius = 80.0;      // pixels
const float kLensRim = 28.0;         // width of the soft edge, inside the radius
const float kSkeletonAtCentre = 0.2; // share of the skeleton left at the lens centre

// Premultiplied "over": what lies in front hides what lies behind by its opacity.
vec4 over(vec4 front, vec4 back)
{
    return front + (1.0 - front.a) * back;
}

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    // gl_FragCoord is in window pixels, like cursorPos, whatever half is drawn.
    float d = distance(gl_FragCoord.xy, cursorPos);
    float lens = 1.0 - smoothstep(kLensRadius - kLensRim, kLensRadius, d); // 1 inside
    float centre = 1.0 - smoothstep(0.0, kLensRadius, d);                  // 1 at the pointer

    vec4 shell = texture2D(skin, uv) * (kSkinShell * (1.0 - lens));
    vec4 bones = texture2D(sceleton, uv) * mix(1.0, kSkeletonAtCentre, centre);
    vec4 body = over(shell, bones);
    vec4 inner = texture2D(organ, uv);
    vec4 picture = organNearer == 1 ? over(inner, body) : over(body, inner);

    // Composited over black here and written opaque, so that blending, if it is on,
    // does not weigh the colour by its opacity a second time.
    gl_FragColor = vec4(picture.rgb, 1.0);
}
