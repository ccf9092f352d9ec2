// Picture mixing, vertex stage: the quad over a player's half, with its texture
// coordinate (0 to 1 across the half) handed on to address the three layer images.
#version 120

void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
