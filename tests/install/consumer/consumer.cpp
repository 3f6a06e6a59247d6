// Loads the installed plug-in, builds one node with an ARROW_X painter through the
// factories and draws it headless. Prints what it saw; exits 1 on anything unexpected.

#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/draw/VU_Painter.h"
#include "host/math/CameraTransformChain.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

#include <dlfcn.h>

#include <cstdio>
#include <memory>

namespace {

int failed(const char* what) {
    std::fprintf(stderr, "consumer: %s\n", what);
    return 1;
}

bool same(const VS_RGBA& a, const VS_RGBA& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

}  // namespace

int main() {
    void* plugin = dlopen(RIGKIT_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (!plugin)
        return failed(dlerror());
    auto* init = reinterpret_cast<void (*)()>(dlsym(plugin, "PLUG_Init"));
    if (!init)
        return failed("the plug-in has no PLUG_Init");
    init();

    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, QStringLiteral("arrow")));
    const MO_OGLPainterFactory::Data data{node->properties(), {}};
    std::unique_ptr<MO_OGLPainter> painter(MO_OGLPainterFactorySingleton().create(QStringLiteral("ARROW_X"), data));
    if (!painter)
        return failed("the painter factory made no ARROW_X");
    node->addPainter(std::move(painter));

    // 100 pixels a unit about the window's centre: the arrow, one unit long by default,
    // runs from (200, 200) to the right; its shaft covers rows 197 to 202.
    VS_OffscreenContext gl(400, 400);
    VS_View view;
    view.camera = Math::CameraTransformChain::orthographic(400, 400, {0, 0}, 100);
    view.background = VS_RGBA(0, 0, 0, 255);
    const VS_Image image = VS_SceneRenderer::render(gl, scene, view);

    const VS_RGBA shaft = image.pixel(250, 199);
    const VS_RGBA behind = image.pixel(150, 199);
    std::printf("consumer: %d headers, pixel (250, 199) = %d %d %d %d, pixel (150, 199) = %d %d %d %d\n", HEADER_COUNT,
                shaft.r, shaft.g, shaft.b, shaft.a, behind.r, behind.g, behind.b, behind.a);
    if (!same(shaft, VU_Painter::redColor))
        return failed("the arrow's shaft is not in the arrow's red");
    if (!same(behind, view.background))
        return failed("the arrow reaches behind its origin");
    return 0;
}
