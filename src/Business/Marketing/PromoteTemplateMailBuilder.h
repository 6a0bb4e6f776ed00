// The page of a promotion mail: the template's name and promotional text,
// then each product with its name, up to three pictures, model, unit price
// and remarks, in fixed HTML fragments appended in a fixed order. A
// director runs the builder's steps; the page has no html or body element
// of its own (the mail editor wraps it). Every text from the data is
// escaped, and a picture is referred to only by the stored file of a
// catalogue picture that exists.
#pragma once

#include <string>

#include "Business/Resource/ResPath.h"
#include "Product.h"
#include "PromoteTemplate.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

class TPromoteTemplateMailBuilder : public TRcObject {
public:
    void SetPromoteTemplateRespath(TRcResPath* aResPath);

    // The steps, in the order the director runs them.
    void LoadPromoteTemplate();
    void BuildHead();
    void BuildBoxOpen();
    void BuildNameAndContent();
    void BuildProductsOpen();
    void BuildProducts();
    void BuildProductsClose();
    void BuildBoxClose();
    void BuildEnd() {}

    const std::string& GetHtml() const { return FHtml; }

private:
    void BuildProduct(const TRcProduct& aProduct, TRcProductImageList* aImages);

    std::string FHtml;
    TRcRef<TRcResPath> FPromoteTemplateRespath;
    TRcRef<TRcPromoteTemplate> FpromoteTemplate;   // nullptr when the path names none
};

class TPromoteTemplateMailDirector {
public:
    explicit TPromoteTemplateMailDirector(TPromoteTemplateMailBuilder* aPromoteTemplateMailBuilder)
        : FPromoteTemplateMailBuilder(aPromoteTemplateMailBuilder)
    {
    }
    void Construct();

private:
    TPromoteTemplateMailBuilder* FPromoteTemplateMailBuilder;   // not owned
};

// The page for a template path: empty name and text and no products when
// the path names no template.
std::string PromoteTemplateMailHtml(TRcResPath* aTemplatePath);
