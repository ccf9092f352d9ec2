// The abstract transfer function: an ordered list of owned shapes over the intensity
// axis, the volume's diagrams for the editor, the visible range, shape management by
// name and the ".tfn" loader. The lookup table and its texture are VornTransferFunction1D;
// the editor's mouse handling is in TransferFunctionEditor.cpp.
#pragma once

#include "classification/TransferFunctionGeometry.h"
#include "volume/Diagram.h"

#include <string>
#include <vector>

namespace GLTex {
class OpenGLTexture;
}

namespace Classification {

class TransferFunction {
public:
    int selectedShape;                              // index into shapes being edited; -1 = none
    unsigned int marginX, marginY;                  // editor's lower-left corner, window pixels; 10
    std::vector<TransferFunctionGeometry*> shapes;  // owned; creation order decides lookup ties
    ClassificationDiagram::Histogram histogram;     // of the classified volume; drawn by the editor
    ClassificationDiagram::GradientDiagram gradientDiagram; // not filled by the game
    float rangeMin, rangeMax;                       // visible normalised intensities; (1, 0) = empty
    float editorWidth, editorHeight;                // editor size in pixels; 256
    int viewportHeight;                             // window height for the editor's mouse y; 0 = unset

    virtual ~TransferFunction();
    TransferFunction(const TransferFunction&) = delete;
    TransferFunction& operator=(const TransferFunction&) = delete;

    // The editor: drawn in a corner of the window, fed with GLUT mouse events.
    virtual void draw() = 0;
    virtual bool mousePress(int button, int state, int x, int y);
    virtual bool mouseMove(int x, int y);
    // Also passed on to every shape.
    virtual void setEditorWidth(float w);
    virtual void setEditorHeight(float h);
    virtual GLTex::OpenGLTexture* getTexture() = 0;
    virtual void setTextureUnit(int unit) = 0;
    // Rebuilds the lookup table from the shapes and uploads it.
    virtual void update() = 0;

    // rangeMin / rangeMax from the shapes' extents; (1, 0) without shapes.
    void computeVisibleRange();
    // Adds the file's records as VornTrapez shapes, then computeVisibleRange() and
    // update(). False when the file cannot be opened, holds an unsupported kind (the
    // table is then left as it was) or ends early (the shapes read completely stay, and
    // a warning line names the file).
    bool loadFromFile(std::string fileName);
    // Creates a "Trapez", "VornTrapez", "Polygon" or "Triangle" under `name`, or under
    // `name` followed by the first free number; returns that name, "" for other kinds.
    std::string addShape(std::string name, std::string kind);
    TransferFunctionGeometry* getShape(std::string name);  // first of that name; null if none
    bool removeShape(std::string name);                    // deletes the first of that name

protected:
    TransferFunction();

private:
    // Appends a new shape of `kind` under a name no shape has; null for an unknown kind.
    TransferFunctionGeometry* appendShape(const std::string& uniqueName, const std::string& kind);
};

} // namespace Classification
