#include "platform/RenderTarget.h"

#include "platform/Texture.h"

#include "platform/Gl.h"

RenderTarget::RenderTarget(int width_, int height_, bool withColour, bool withDepth)
    : width(width_), height(height_) {
    glGenFramebuffers(1, &framebuffer);
    if (withColour) {
        colour[0] = new Texture(width, height, nullptr, PixelKind::Rgba8, TextureFilter::Linear);
        colour[0]->setWrap(1);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                               colour[0]->textureName, 0);
    }
    if (withDepth) {
        depth = new Texture(width, height, nullptr, PixelKind::Depth, TextureFilter::Linear);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D,
                               depth->textureName, 0);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

RenderTarget::~RenderTarget() {
    for (Texture* texture : colour) {
        delete texture;
    }
    delete depth;
    glDeleteFramebuffers(1, &framebuffer);
}

void RenderTarget::bind() {
    glGetIntegerv(GL_VIEWPORT, savedViewport);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, width, height);
}

void RenderTarget::unbind() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(savedViewport[0], savedViewport[1], savedViewport[2], savedViewport[3]);
}
