// Ray-casting program, vertex stage: the caster draws one quad over its whole target
// with texture coordinates 0 to 1, which address the same pixel in the ray images.
#version 120

void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
